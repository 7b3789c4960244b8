#!/usr/bin/env python3
"""The skin preview against the program: in one sandbox the wizard is
started from the release folder and its first page photographed, then the
preview of the same skin is drawn; the two pictures of the language page
must differ in under 5 % of their pixels. The share is printed. The wizard
is closed on its first page, before it could send anything.

    test_skin_preview.py --build-dir BUILD --tool skinkit.exe --driver fwdriver.exe"""

import argparse
import os
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "sandbox"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "driver"))
sys.path.insert(0, os.path.join(here, "..", "..", "tools", "harness"))
import sandbox  # noqa: E402
from driver import Driver, windows_path  # noqa: E402
from png_files import differing_pixels, read_png  # noqa: E402

CAPTION = "Firmware Upgrade Utility"
LANGUAGE_EXIT = 1005
MOST_DIFFERING = 0.05


def differing_share(first, second):
    """Share of differing pixels; pictures of different sizes differ wholly."""
    differ, total = differing_pixels(read_png(first), read_png(second))
    return differ / total


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--driver", required=True)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    dist = os.path.join(build, "dist")
    out = os.path.join(build, "tests", "skin_preview")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    program_shot = os.path.join(out, "program-1-Language.png")

    with sandbox.NetNs("skinprev") as ns, sandbox.WineSession(build, ns, "skinprev") as session:
        ns.check_inside()
        app = session.popen([os.path.join(dist, "FirmwareUpdater.exe")], cwd=dist)
        with Driver(session, args.driver) as ui:
            ui.wait_window(CAPTION, 20000)
            ui.shot(program_shot, CAPTION)
            ui.click(LANGUAGE_EXIT)
        code = app.wait(timeout=20)
        if code != 0:
            print(f"FAIL the wizard ended with {code}")
            return 1
        done = session.run([args.tool, "preview", windows_path(dist), windows_path(out)],
                           timeout=180, cwd=os.path.dirname(args.tool), capture=True)
    print(done.stdout, done.stderr, sep="")
    if done.returncode != 0:
        print(f"FAIL the preview ended with {done.returncode}")
        return 1
    share = differing_share(program_shot, os.path.join(out, "1-Language.png"))
    print(f"language page: {100 * share:.2f} % of the pixels differ from the program's "
          f"(at most {100 * MOST_DIFFERING:.0f} %)")
    return 0 if share < MOST_DIFFERING else 1


if __name__ == "__main__":
    sys.exit(main())
