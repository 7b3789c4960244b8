#!/usr/bin/env python3
"""Runs clang-tidy with the repository's .clang-tidy over the program's sources.

    check_tidy.py --root SOURCE_DIR --build WIN_BUILD_DIR [--jobs N] [FILE...]

The sources are those of the Windows build (its compile_commands.json) in
app/ controls/ framework/ net/ pages/ skin/; clang parses them as the mingw
compiler does: its target, and the C++ library of the cross g++ (clang
finds the mingw C headers itself, not g++'s libstdc++ folders). Headers of
those folders are checked too. Prints every finding; fails on any."""

import argparse
import concurrent.futures
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

FOLDERS = ("app", "controls", "framework", "net", "pages", "skin")
TARGET = "x86_64-w64-mingw32"
PER_FILE_TIMEOUT_S = 300


def program_sources(root, database):
    prefixes = tuple(os.path.join(root, folder) + os.sep for folder in FOLDERS)
    with open(database) as f:
        entries = json.load(f)
    return sorted({os.path.abspath(os.path.join(e["directory"], e["file"]))
                   for e in entries if os.path.abspath(e["file"]).startswith(prefixes)})


def compiler_of(database):
    with open(database) as f:
        entry = json.load(f)[0]
    argv = entry.get("arguments") or shlex.split(entry["command"])
    return argv[0]


def cxx_library_dirs(compiler):
    """The C++ library folders in the cross g++'s own search order."""
    res = subprocess.run([compiler, "-E", "-x", "c++", "-", "-v"], input="",
                         capture_output=True, text=True, timeout=60)
    dirs, inside = [], False
    for line in res.stderr.splitlines():
        if line.startswith("#include <...>"):
            inside = True
        elif line.startswith("End of search list"):
            break
        elif inside and "/c++" in line:
            dirs.append(os.path.normpath(line.strip()))
    if not dirs:
        raise SystemExit(f"check_tidy: no C++ library folders reported by {compiler}")
    return dirs


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--clang-tidy", default="clang-tidy")
    parser.add_argument("files", nargs="*", help="only these (default: all)")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    database = os.path.join(args.build, "compile_commands.json")
    if not os.path.isfile(database):
        print(f"check_tidy: no {database} (configure with CMAKE_EXPORT_COMPILE_COMMANDS)")
        return 1
    if not shutil.which(args.clang_tidy):
        print(f"check_tidy: {args.clang_tidy} is not installed (./run installs it)")
        return 1
    files = [os.path.abspath(f) for f in args.files] or program_sources(root, database)
    if not files:
        print(f"check_tidy: no program sources in {database}")
        return 1
    header_filter = "^" + re.escape(root + os.sep) + "(" + "|".join(FOLDERS) + ")/"
    argv = [args.clang_tidy, "--quiet", "-p", args.build, f"--header-filter={header_filter}",
            f"--extra-arg=--target={TARGET}"]
    argv += [f"--extra-arg=-stdlib++-isystem{d}" for d in cxx_library_dirs(compiler_of(database))]

    def tidy(path):
        started = time.monotonic()
        try:
            res = subprocess.run([*argv, path], capture_output=True, text=True,
                                 timeout=PER_FILE_TIMEOUT_S)
            out, code = res.stdout + res.stderr, res.returncode
        except subprocess.TimeoutExpired:
            out, code = f"timed out after {PER_FILE_TIMEOUT_S} s", 1
        return path, code, out, time.monotonic() - started

    started = time.monotonic()
    failed, seconds = [], 0.0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(min(args.jobs, len(files)), 1)) as pool:
        for path, code, out, took in pool.map(tidy, files):
            seconds += took
            # "N warnings generated" counts the silenced ones in system headers.
            findings = [line for line in out.splitlines()
                        if not re.match(r"^\d+ warnings? (and \d+ errors? )?generated\.$", line)]
            if code != 0 or any(": warning:" in l or ": error:" in l for l in findings):
                failed.append(os.path.relpath(path, root))
                print("\n".join(findings), flush=True)
    print(f"check_tidy: {len(files)} files, {len(failed)} with findings; "
          f"{time.monotonic() - started:.0f} s ({seconds:.0f} s of clang-tidy, "
          f"{min(args.jobs, len(files))} at a time)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
