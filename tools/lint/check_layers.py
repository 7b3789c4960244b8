#!/usr/bin/env python3
"""Checks that the program's layers run one way.

Every folder of the program is a layer; a file may include from its own
folder and from the layers below it, never from a layer above it nor from a
folder beside it. From the bottom:

    res        resource ids (includes nothing of ours)
    framework  the Windows class framework
    controls   skinned controls        | shared  process-wide values
    skin       skin reader and loaders | net     sockets, HTTP, wire formats
    wizard     page base, page host, private messages
    pages      the pages and the action popup
    app        application object, page registry, main window

The tools (the simulated router, the sandbox, the GUI driver and the
end-to-end harness, the benchmark, the skin kit) serve the tests, the demo
and the benchmark alike, so nothing under tools/ includes, builds or imports
anything under tests/.

Prints every include that breaks the order and exits 1; exits 0 when there
is none.
"""
import argparse
import pathlib
import re
import sys

LAYERS = {
    "res": 0,
    "framework": 1,
    "controls": 2,
    "shared": 2,
    "skin": 3,
    "net": 3,
    "wizard": 4,
    "pages": 5,
    "app": 6,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
# A tool reaching into tests/: a C++ include, a CMake source path, a Python
# import or a module path put on sys.path.
TOOL_REACHES_TESTS = re.compile(
    r'^\s*#\s*include\s+"tests/'
    r'|\$\{CMAKE_SOURCE_DIR\}/tests/'
    r'|^\s*(from|import)\s+tests\b'
    r'|sys\.path\.(insert|append)\(.*["\']tests["\'/]')


def violations(root):
    for folder, rank in sorted(LAYERS.items()):
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".rc", ".in"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match or "/" not in match.group(1):
                    continue
                target = match.group(1).split("/", 1)[0]
                where = f"{path.relative_to(root)}:{number}"
                if target not in LAYERS:
                    yield f"{where}: includes {match.group(1)} from no known layer"
                elif target != folder and LAYERS[target] >= rank:
                    side = "beside" if LAYERS[target] == rank else "above"
                    yield f"{where}: {folder} includes {match.group(1)}, a layer {side} it"


def tool_violations(root):
    for path in sorted((root / "tools").rglob("*")):
        if not path.is_file() or path.suffix in (".png", ".bmp", ".bin"):
            continue
        text = path.read_text(errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            if TOOL_REACHES_TESTS.search(line):
                yield f"{path.relative_to(root)}:{number}: a tool reaches into tests/: {line.strip()}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=pathlib.Path(__file__).resolve().parents[2],
                        type=pathlib.Path, help="the source tree")
    args = parser.parse_args()
    found = list(violations(args.root)) + list(tool_violations(args.root))
    for line in found:
        print(line)
    print(f"{len(found)} include(s) against the layer order or from a tool into tests/")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
