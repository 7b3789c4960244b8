#!/usr/bin/env python3
"""Runs clang-tidy with the repository's .clang-tidy over the program's sources.

    check_tidy.py --root SOURCE_DIR --build WIN_BUILD_DIR [--jobs N] [FILE...]

The sources are those of the Windows build (its compile_commands.json) in
app/ controls/ framework/ net/ pages/ skin/; clang parses them as the mingw
compiler does: its target, and the C++ library of the cross g++ (clang
finds the mingw C headers itself, not g++'s libstdc++ folders). Headers of
those folders are checked too. Prints every finding; fails on any.

A file that passed is not checked again while nothing it is made of changed:
its compile command, every header it includes (from ninja's dependency
records), .clang-tidy, this script and both compilers' versions; the record
of passes is BUILD/tidy-passed/. --all checks every file regardless."""

import argparse
import concurrent.futures
import hashlib
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


def command_of(entry):
    return entry.get("arguments") or shlex.split(entry["command"])


def ninja_deps(build):
    """{object file: [its sources and headers]} of a Ninja build; {} if unknown."""
    try:
        out = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True,
                             text=True, timeout=60).stdout
    except (OSError, subprocess.SubprocessError):
        return {}
    deps, current = {}, None
    for line in out.splitlines():
        if line and not line.startswith(" "):
            current = line.split(":", 1)[0] if line.rstrip().endswith("(VALID)") else None
            if current:
                deps[current] = []
        elif current and line.strip():
            deps[current].append(line.strip())
    return deps


class PassRecord:
    """Which files passed, by a digest of everything their check depends on."""

    def __init__(self, build, database, common):
        self.folder = os.path.join(build, "tidy-passed")
        self.deps = ninja_deps(build)
        self.entries = {}
        with open(database) as f:
            for entry in json.load(f):
                path = os.path.abspath(os.path.join(entry["directory"], entry["file"]))
                self.entries[path] = entry
        self.common = common
        self._file_digests = {}

    def _file_digest(self, path):
        if path not in self._file_digests:
            try:
                with open(path, "rb") as f:
                    self._file_digests[path] = hashlib.sha256(f.read()).hexdigest()
            except OSError:
                self._file_digests[path] = "missing"
        return self._file_digests[path]

    def key(self, path):
        """The digest for path, or None when its headers are not known."""
        entry = self.entries.get(path)
        if entry is None:
            return None
        argv = command_of(entry)
        obj = argv[argv.index("-o") + 1] if "-o" in argv else None
        headers = self.deps.get(obj)
        if not headers:
            return None
        digest = hashlib.sha256(self.common.encode())
        digest.update(json.dumps(argv).encode())
        for dep in [path] + headers:
            digest.update(f"{dep} {self._file_digest(dep)}\n".encode())
        return digest.hexdigest()

    def passed(self, key):
        return key is not None and os.path.exists(os.path.join(self.folder, key))

    def remember(self, key):
        if key is not None:
            os.makedirs(self.folder, exist_ok=True)
            open(os.path.join(self.folder, key), "w").close()

    def keep_only(self, keys):
        """Forgets passes of files or versions that are no longer there."""
        if os.path.isdir(self.folder):
            for name in set(os.listdir(self.folder)) - set(keys):
                os.remove(os.path.join(self.folder, name))


def tool_version(argv):
    try:
        return subprocess.run([*argv, "--version"], capture_output=True, text=True,
                              timeout=60).stdout
    except (OSError, subprocess.SubprocessError):
        return ""


def compiler_of(database):
    with open(database) as f:
        entry = json.load(f)[0]
    return command_of(entry)[0]


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
    parser.add_argument("--all", action="store_true", help="also the files that passed before")
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
    compiler = compiler_of(database)
    argv += [f"--extra-arg=-stdlib++-isystem{d}" for d in cxx_library_dirs(compiler)]
    with open(os.path.join(root, ".clang-tidy")) as f, open(os.path.abspath(__file__)) as me:
        common = "\0".join([f.read(), me.read(), " ".join(argv), tool_version([args.clang_tidy]),
                            tool_version([compiler])])
    record = PassRecord(args.build, database, common)
    keys = {path: record.key(path) for path in files}
    todo = [path for path in files if args.all or not record.passed(keys[path])]

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
    jobs = max(min(args.jobs, len(todo)), 1)
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for path, code, out, took in pool.map(tidy, todo):
            seconds += took
            # "N warnings generated" counts the silenced ones in system headers.
            findings = [line for line in out.splitlines()
                        if not re.match(r"^\d+ warnings? (and \d+ errors? )?generated\.$", line)]
            if code != 0 or any(": warning:" in l or ": error:" in l for l in findings):
                failed.append(os.path.relpath(path, root))
                print("\n".join(findings), flush=True)
            else:
                record.remember(keys[path])
    if not args.files:
        record.keep_only(key for key in keys.values() if key)
    print(f"check_tidy: {len(files)} files, {len(files) - len(todo)} unchanged since they "
          f"passed, {len(todo)} checked, {len(failed)} with findings; "
          f"{time.monotonic() - started:.0f} s ({seconds:.0f} s of clang-tidy, {jobs} at a time)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
