#!/usr/bin/env python3
"""The skin check on several skins, in one sandbox: the shipped skin of the
release folder passes without a line; a copy of it with four faults (a
missing picture, a button strip of 301 pixels, a label moved off its page,
a font size in words) gives exactly one line for each, and so does a copy
with the other kinds of fault; a folder without a skin file says so. The
check only reads files: it sends nothing.

    test_skin_check.py --build-dir BUILD --tool skinkit.exe"""

import argparse
import os
import shutil
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "sandbox"))
import sandbox  # noqa: E402

BROKEN_LINES = [
    "[Action] Background3.FilePath: picture skin\\wait3.bmp not found",
    "[Control] Next.FilePath: strip skin\\main_next.bmp is 301 pixels wide, "
    "not a multiple of three",
    "[Verify] Label9.Position: 24,340 590x18 lies outside the Verify window (638x345)",
    "[Exit] Label2.FontSize: 'big' is not a number: read as 0",
]

OTHER_LINES = [
    "[Language] Label3.Type: 'Bitmap', but a Static is loaded here",
    "[Language] Label4.Position: overlaps Label2 of [Language]",
    "[Login] Label1.Size: 1 numbers where 2 belong",
    "[Upload] Background.Type: missing: a Bitmap is loaded here",
    "[Upload] Label2.TextString: 600 characters, the reader keeps only the first 510",
    "[Exit] Background.FilePath: picture skin\\finish.bmp refused: not a bitmap file "
    "(no BM signature)",
    "[DialogMain] Label2.FontName: a face name of 32 characters, fonts take only the first 31",
]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_bmp(path, width, height, rgb=(40, 110, 220)):
    """A plain 24-bit bottom-up bitmap that any reader accepts."""
    stride = (width * 3 + 3) // 4 * 4
    row = bytes(rgb[::-1]) * width + b"\0" * (stride - width * 3)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def bmp_height(path):
    with open(path, "rb") as f:
        return abs(struct.unpack_from("<i", f.read(26), 22)[0])


def set_value(ini_path, section, key, value):
    """Replaces one key's line (None: removes it), keeping the rest of the
    file as it is."""
    with open(ini_path, encoding="ascii") as f:
        lines = f.read().split("\n")
    current = None
    for i, line in enumerate(lines):
        if line.startswith("["):
            current = line.strip()[1:-1]
        elif current == section and line.split("=", 1)[0] == key:
            if value is None:
                del lines[i]
            else:
                lines[i] = f"{key}={value}"
            break
    else:
        raise AssertionError(f"no {section}/{key} in {ini_path}")
    with open(ini_path, "w", encoding="ascii") as f:
        f.write("\n".join(lines))


def skin_copy(dist, folder):
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(os.path.join(dist, "skin"), os.path.join(folder, "skin"))
    ini = os.path.join(folder, "English.ini")
    shutil.copy(os.path.join(dist, "English.ini"), ini)
    return ini


def remove_key(ini_path, section, key):
    set_value(ini_path, section, key, None)


def broken_copy(dist, folder):
    ini = skin_copy(dist, folder)
    os.remove(os.path.join(folder, "skin", "wait3.bmp"))
    strip = os.path.join(folder, "skin", "main_next.bmp")
    write_bmp(strip, 301, bmp_height(strip))
    set_value(ini, "Verify", "Label9.Position", "24,340")
    set_value(ini, "Exit", "Label2.FontSize", "big")


def other_faults_copy(dist, folder):
    ini = skin_copy(dist, folder)
    set_value(ini, "Language", "Label3.Type", "Bitmap")
    set_value(ini, "Language", "Label4.Position", "236,80")
    set_value(ini, "Login", "Label1.Size", "480")
    remove_key(ini, "Upload", "Background.Type")
    set_value(ini, "Upload", "Label2.TextString", "x" * 600)
    set_value(ini, "DialogMain", "Label2.FontName", "F" * 32)
    with open(os.path.join(folder, "skin", "finish.bmp"), "r+b") as f:
        f.write(b"XX")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    dist = os.path.join(build, "dist")
    work = os.path.join(build, "tests", "skin_check")
    broken = os.path.join(work, "broken")
    other = os.path.join(work, "other")
    empty = os.path.join(work, "empty")
    broken_copy(dist, broken)
    other_faults_copy(dist, other)
    shutil.rmtree(empty, ignore_errors=True)
    os.makedirs(empty)

    cases = [  # folder, exit code, lines
        ("shipped skin", dist, 0, []),
        ("broken copy", broken, 1, BROKEN_LINES),
        ("other faults", other, 1, OTHER_LINES),
        ("no skin file", empty, 1, [windows_path(empty) + "\\English.ini: not found"]),
    ]
    failures = 0
    with sandbox.NetNs("skinchk") as ns, sandbox.WineSession(build, ns, "skinchk") as session:
        for name, folder, want_code, want_lines in cases:
            done = session.run([args.tool, "check", windows_path(folder)], timeout=120,
                               cwd=os.path.dirname(args.tool), capture=True)
            lines = [line for line in done.stdout.split("\n") if line]
            ok = done.returncode == want_code and sorted(lines) == sorted(want_lines)
            failures += not ok
            print(f"{'ok  ' if ok else 'FAIL'} {name}: exit {done.returncode}", flush=True)
            for line in lines:
                print(f"     {line}")
            if not ok:
                print(f"     wanted exit {want_code} and:", *want_lines, sep="\n       ")
                print(done.stderr)
    print(f"{failures} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
