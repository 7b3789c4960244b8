#!/usr/bin/env python3
"""The release archive: `./run release` on two copies of the source tree, in
two different folders, gives byte-identical archives; what it holds is what
a router owner needs and nothing else (no generated samples, no build
leftovers, no folder of the machine that built it); the program inside is
the very file the other tests ran, with the published signature attached
(both copies sign with one throwaway key); the maker's firmware and packs go
in under the names the wizard expects.

    test_release.py --build-dir BUILD_WIN [--keep]

The copies (fresh repositories of the current tree, uncommitted changes
included, committed at the time of the last commit) are built below
BUILD_WIN/tests/release/ and removed afterwards (--keep keeps them)."""

import argparse
import hashlib
import os
import shutil
import signal
import struct
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.join(ROOT, "tools", "harness"))
import make_release  # noqa: E402
from checks import Checks  # noqa: E402

check = Checks("release", echo=True)

BUILD_TIMEOUT_S = 900


def source_files(root):
    """The tree as a clean clone has it, with what is not committed yet:
    tracked and untracked files, none that git ignores (build folders)."""
    out = subprocess.run(["git", "-C", root, "ls-files", "-z", "--cached", "--others",
                          "--exclude-standard"], capture_output=True, timeout=60)
    if out.returncode != 0:
        raise RuntimeError("git ls-files failed: " + out.stderr.decode(errors="replace"))
    return sorted(p for p in out.stdout.decode().split("\0")
                  if p and os.path.isfile(os.path.join(root, p)))


def clean_clone(root, files, dest, stamp):
    """A fresh repository at dest holding the files, committed at the time
    of the source's last commit: what a clone of the commit would be, with
    what is not committed yet."""
    for rel in files:
        target = os.path.join(dest, rel)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(root, rel), target)
    env = dict(os.environ, GIT_AUTHOR_DATE=f"@{stamp} +0000", GIT_COMMITTER_DATE=f"@{stamp} +0000")
    for argv in (["init", "-q"], ["add", "-A"],
                 ["-c", "user.name=release test", "-c", "user.email=release@test.invalid",
                  "commit", "-q", "-m", "the tree under test"]):
        subprocess.run(["git", "-C", dest] + argv, env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL)


def commit_time(root):
    out = subprocess.run(["git", "-C", root, "log", "-1", "--format=%ct"], capture_output=True,
                         text=True, timeout=30)
    return out.stdout.strip() if out.returncode == 0 and out.stdout.strip() else "315532800"


def throwaway_signer(folder):
    """A CA and a code-signing key made for this run: (CA, --sign arguments of
    the PEM pair, of the PKCS#12 bundle with its password file)."""
    os.makedirs(folder)
    ca, cert, key, p12, password = (os.path.join(folder, n) for n in
                                    ("ca.pem", "cert.pem", "key.pem", "bundle.p12", "password"))
    with open(password, "w") as f:
        f.write("throwaway\n")
    new_cert = ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2"]
    for argv in (new_cert + ["-keyout", ca + ".key", "-out", ca, "-subj", "/CN=Release test CA"],
                 new_cert + ["-keyout", key, "-out", cert, "-subj", "/CN=Release test maker",
                             "-CA", ca, "-CAkey", ca + ".key",
                             "-addext", "basicConstraints=CA:FALSE",
                             "-addext", "extendedKeyUsage=codeSigning"],
                 ["pkcs12", "-export", "-in", cert, "-inkey", key, "-out", p12,
                  "-passout", "file:" + password]):
        subprocess.run(["openssl"] + argv, check=True, capture_output=True, timeout=60)
    return ca, ["--sign", cert, key], ["--sign", p12, "--sign-password-file", password]


def verifies(program, ca):
    """Whether `osslsigncode verify` accepts the program's signature under ca."""
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", program],
                          capture_output=True, timeout=120).returncode == 0


def run_release(source, build, log, sign_args):
    """`./run release --sign ...` of one copy into its own build folder; the archive's path."""
    env = dict(os.environ, BUILD_DIR=build, JOBS=os.environ.get("JOBS", "2"))
    # As on a machine where nobody set it: the build must not depend on it.
    env.pop("SOURCE_DATE_EPOCH", None)
    started = time.monotonic()
    with open(log, "wb") as out:
        # A group of its own, ended whole when this test is stopped or runs
        # out of time: cmake and ninja must not go on building behind it.
        child = subprocess.Popen([os.path.join(source, "run"), "release"] + sign_args,
                                 cwd=source, env=env, stdout=out, stderr=subprocess.STDOUT,
                                 start_new_session=True)
        try:
            child.wait(timeout=BUILD_TIMEOUT_S)
        finally:
            if child.poll() is None:
                os.killpg(child.pid, signal.SIGKILL)
                child.wait()
        result = child
    print(f"     ./run release in {source}: {time.monotonic() - started:.0f} s", flush=True)
    if result.returncode != 0:
        with open(log, errors="replace") as f:
            print(f.read()[-3000:])
        raise RuntimeError(f"./run release failed in {source} ({result.returncode})")
    zips = [n for n in os.listdir(os.path.join(build, "release")) if n.endswith(".zip")]
    if len(zips) != 1:
        raise RuntimeError(f"expected one archive in {build}/release, found {zips}")
    return os.path.join(build, "release", zips[0])


def pe_time_stamp(data):
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<I", data, offset + 8)[0]


def check_contents(archive, version, bitmaps, tested_exe, ca, stamp, where):
    top = f"FirmwareUpdater-{version}-win-x64/"
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        check("entries in sorted order", names, sorted(names))
        # A zip entry keeps its time in 2-second steps.
        dated = time.gmtime(stamp)[:6]
        check("every entry dated the commit",
              {i.date_time for i in infos}, {dated[:5] + (dated[5] // 2 * 2,)})
        pictures = sorted(n for n in os.listdir(bitmaps) if n.endswith(".bmp"))
        want = sorted([top, top + "FirmwareUpdater.exe", top + "English.ini", top + "MSG.ini",
                       top + "README.txt", top + "Firmware/", top + "Firmware/README.txt",
                       top + "skin/"] + [top + "skin/" + p for p in pictures])
        check("the folder holds the program, its files, the pictures and READMEs", names, want)
        exe = z.read(top + "FirmwareUpdater.exe")
        shipped, attached = archive[:-len(".zip")] + ".exe", archive + ".attached.exe"
        with open(shipped, "wb") as f:
            f.write(exe)
        check("the shipped program's signature verifies", verifies(shipped, ca), True)
        subprocess.run(["osslsigncode", "attach-signature", "-CAfile", ca, "-sigin",
                        archive[:-len(".zip")] + ".exe.sig", "-in", tested_exe, "-out", attached],
                       capture_output=True, timeout=120)
        with open(attached, "rb") as f:
            check("the published signature on the tested program gives the shipped one",
                  f.read() == exe, True)
        changed = bytearray(exe)
        changed[len(exe) // 2] ^= 1
        with open(shipped, "wb") as f:
            f.write(changed)
        check("one byte changed: the signature fails", verifies(shipped, ca), False)
        check("no link time in the program's header", pe_time_stamp(exe), 0)
        for folder in where:
            for form in (folder.encode(), folder.encode("utf-16-le")):
                check(f"no {folder} in the program", form in exe, False)
        for name in ("README.txt", "Firmware/README.txt"):
            text = z.read(top + name)
            check(f"{name}: CRLF line ends only",
                  text.count(b"\n"), text.count(b"\r\n"))
        readme = z.read(top + "README.txt").decode("ascii")
        check("README names the version", f"Version {version}" in readme, True)
        check("README says not to switch the router off",
              "Do not switch off or unplug the router." in readme, True)
        firmware_readme = z.read(top + "Firmware/README.txt").decode("ascii")
        for expected in ("ZEPHYRA_FW.bin",) + make_release.PACKS:
            check(f"Firmware README names {expected}", expected in firmware_readme, True)


def check_maker_files(build, dist_firmware, out_dir):
    """The maker's files go in under the expected names, and only both together."""
    inputs = os.path.join(build, "release", "win")
    tool = os.path.join(ROOT, "tools", "make_release.py")
    firmware = os.path.join(dist_firmware, "ZEPHYRA_FW.bin")
    alone = subprocess.run([sys.executable, tool, "--build", inputs, "--out", out_dir,
                            "--firmware", firmware], capture_output=True, text=True, timeout=120)
    check("a firmware without language packs is refused", alone.returncode, 1)
    # The maker's image under a name of its own: stored under MSG.ini's.
    renamed = os.path.join(out_dir, "zr-router-2.1.0.img")
    os.makedirs(out_dir, exist_ok=True)
    shutil.copy(firmware, renamed)
    made = subprocess.run([sys.executable, tool, "--build", inputs, "--out", out_dir,
                           "--firmware", renamed, "--packs", dist_firmware],
                          capture_output=True, text=True, timeout=120)
    check("a release with the maker's files", made.returncode, 0)
    archives = [n for n in os.listdir(out_dir) if n.endswith(".zip")]
    if made.returncode or len(archives) != 1:
        return
    with zipfile.ZipFile(os.path.join(out_dir, archives[0])) as z:
        top = archives[0][:-len(".zip")] + "/Firmware/"
        shipped = sorted(n[len(top):] for n in z.namelist() if n.startswith(top) and n != top)
        check("Firmware holds the image and the three packs",
              shipped, sorted(("ZEPHYRA_FW.bin",) + make_release.PACKS))
        for name in shipped:
            with open(os.path.join(dist_firmware, name), "rb") as f:
                check(f"{name} as given", z.read(top + name) == f.read(), True)


def main():
    # Stopped by ctest: end as on Ctrl+C, so the builds' group is ended too.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    build_win = os.path.abspath(args.build_dir)
    work = os.path.join(build_win, "tests", "release")
    shutil.rmtree(work, ignore_errors=True)
    files = source_files(ROOT)
    stamp = commit_time(ROOT)
    # Two clean copies in folders of different names and lengths, each with
    # a build folder named differently again: a path the build records
    # changes the bytes.
    copies = [(os.path.join(work, "one", "src"), os.path.join(work, "one", "src", "build")),
              (os.path.join(work, "second-copy", "source"),
               os.path.join(work, "second-copy", "out-of-tree-build"))]
    archives = []
    try:
        ca, *signings = throwaway_signer(os.path.join(work, "throwaway-keys"))
        for (source, build), sign_args in zip(copies, signings):
            clean_clone(ROOT, files, source, stamp)
            archives.append(run_release(source, build,
                                        os.path.join(work, os.path.basename(source) + ".log"),
                                        sign_args))
        first, second = (open(a, "rb").read() for a in archives)
        check("the two archives have the same name",
              os.path.basename(archives[0]), os.path.basename(archives[1]))
        check("the two archives are byte for byte the same", first == second, True)
        signature = open(archives[0][:-len(".zip")] + ".exe.sig", "rb").read()
        for archive in archives:
            sums = open(os.path.join(os.path.dirname(archive), "SHA256SUMS")).read()
            check("SHA256SUMS holds the signature's and the archive's hashes", sums,
                  f"{hashlib.sha256(signature).hexdigest()}  {os.path.basename(archive)[:-4]}"
                  f".exe.sig\n{hashlib.sha256(first).hexdigest()}  {os.path.basename(archive)}\n")
        print(f"     sha256 {hashlib.sha256(first).hexdigest()}", flush=True)
        inputs = make_release.read_inputs(os.path.join(copies[0][1], "release", "win"))
        check_contents(archives[0], inputs["version"], inputs["bitmaps"],
                       os.path.join(build_win, "app", "FirmwareUpdater.exe"), ca, int(stamp),
                       [p for pair in copies for p in pair] + [ROOT, build_win])
        check_maker_files(copies[0][1], os.path.join(build_win, "dist", "Firmware"),
                          os.path.join(work, "with-maker-files"))
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    return check.summary()


if __name__ == "__main__":
    sys.exit(main())
