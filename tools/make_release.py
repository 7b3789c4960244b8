#!/usr/bin/env python3
"""Makes the release archive a router owner downloads.

    make_release.py --build BUILD_WIN --out OUT_DIR [--firmware FILE --packs DIR]
                    [--sign CERT KEY | --sign BUNDLE.p12] [--sign-password-file FILE]
                    [--timestamp URL]

BUILD_WIN is a Windows build folder in which the target fwu_release_files
has been built (its release_inputs.json says where everything is). OUT_DIR
receives FirmwareUpdater-<version>-win-x64.zip and SHA256SUMS beside it.

The archive holds one folder, FirmwareUpdater-<version>-win-x64\\, with the
program, English.ini, MSG.ini, the skin pictures below skin\\, README.txt
and Firmware\\. The firmware image and the language packs come from the
router's maker: --firmware FILE is stored under the name MSG.ini gives
(FW_FileName) and --packs DIR must hold ZEPHYRA_EN.lang, ZEPHYRA_FR.lang and
ZEPHYRA_DE.lang. Without them Firmware\\ holds only a README.txt naming the
files the wizard expects. The build's generated sample firmware and packs
are never taken.

--sign gives the program an Authenticode signature before it goes into the
archive (tools/authenticode.py), dated SOURCE_DATE_EPOCH like the entries,
and publishes the signature alone beside the archive
(FirmwareUpdater-<version>-win-x64.exe.sig, in SHA256SUMS too): attached to
the program built again from the same source it gives the shipped bytes.

The same inputs give the same bytes: entries sorted, every entry dated
SOURCE_DATE_EPOCH (else the time of the source's last commit, else
1980-01-01), fixed permissions, texts for the user with CRLF line ends.
"""

import argparse
import configparser
import hashlib
import io
import json
import os
import subprocess
import sys
import time
import zipfile

import authenticode

PACKS = ("ZEPHYRA_EN.lang", "ZEPHYRA_FR.lang", "ZEPHYRA_DE.lang")
EARLIEST_ZIP_TIME = 315532800  # 1980-01-01, the first time a zip entry can carry

FIRMWARE_README = """\
The firmware and the language packs go in this folder
======================================================

They come from Zephyra, for your router. The program looks for exactly
these file names:

  {firmware:<18} the firmware (MSG.ini names it under FW_FileName)
  ZEPHYRA_EN.lang    the English language pack
  ZEPHYRA_FR.lang    the French language pack
  ZEPHYRA_DE.lang    the German language pack

Without the firmware file the program sends nothing to the router: it
shows the name of the file it could not find and closes.
"""


class ReleaseError(RuntimeError):
    pass


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("ascii")


def release_name(version):
    return f"FirmwareUpdater-{version}-win-x64"


def read_inputs(build_dir):
    path = os.path.join(build_dir, "release_inputs.json")
    if not os.path.isfile(path):
        raise ReleaseError(f"{path} is missing: configure the Windows build first")
    with open(path) as f:
        inputs = json.load(f)
    for key in ("program", "skin", "messages", "readme"):
        if not os.path.isfile(inputs[key]):
            raise ReleaseError(f"{inputs[key]} is missing: build the target fwu_release_files")
    if not os.path.isdir(inputs["bitmaps"]):
        raise ReleaseError(f"{inputs['bitmaps']} is missing: build the target fwu_release_files")
    return inputs


def firmware_file_name(messages_ini):
    """The file name part of MSG.ini's FW_FileName (".\\Firmware\\X.bin" -> "X.bin")."""
    ini = configparser.RawConfigParser()
    ini.optionxform = str
    ini.read(messages_ini, encoding="latin-1")
    path = ini.get("MSG", "FW_FileName", fallback="")
    parts = path.split("\\")
    if len(parts) != 3 or parts[0] != "." or parts[1] != "Firmware" or not parts[2]:
        raise ReleaseError(f"FW_FileName in {messages_ini} is {path!r}, not .\\Firmware\\<name>")
    return parts[2]


def entry_time(source_dir):
    """Seconds since 1970 that every entry carries."""
    fixed = os.environ.get("SOURCE_DATE_EPOCH")
    if fixed:
        return max(int(fixed), EARLIEST_ZIP_TIME)
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, timeout=30)
        if out.returncode == 0 and out.stdout.strip().isdigit():
            return max(int(out.stdout.strip()), EARLIEST_ZIP_TIME)
    except OSError:
        pass
    return EARLIEST_ZIP_TIME


def read(path):
    with open(path, "rb") as f:
        return f.read()


def maker_files(firmware, packs, firmware_name):
    """{name below Firmware\\: bytes} of the maker's files."""
    if bool(firmware) != bool(packs):
        raise ReleaseError("--firmware and --packs go together: a release needs both")
    if not firmware:
        return {}
    if not os.path.isfile(firmware) or os.path.getsize(firmware) == 0:
        raise ReleaseError(f"firmware {firmware}: no such file, or empty")
    files = {firmware_name: read(firmware)}
    for name in PACKS:
        path = os.path.join(packs, name)
        if not os.path.isfile(path) or os.path.getsize(path) == 0:
            raise ReleaseError(f"language pack {path}: no such file, or empty")
        files[name] = read(path)
    return files


def archive_entries(inputs, firmware=None, packs=None):
    """{path inside the archive: bytes}; folders end with "/" and hold None."""
    top = release_name(inputs["version"]) + "/"
    firmware_name = firmware_file_name(inputs["messages"])
    entries = {
        top: None,
        top + "FirmwareUpdater.exe": read(inputs["program"]),
        top + "English.ini": read(inputs["skin"]),
        top + "MSG.ini": read(inputs["messages"]),
        top + "README.txt": crlf(open(inputs["readme"], encoding="ascii").read()),
        top + "skin/": None,
        top + "Firmware/": None,
    }
    pictures = sorted(n for n in os.listdir(inputs["bitmaps"]) if n.lower().endswith(".bmp"))
    if not pictures:
        raise ReleaseError(f"no skin pictures in {inputs['bitmaps']}")
    for name in pictures:
        entries[top + "skin/" + name] = read(os.path.join(inputs["bitmaps"], name))
    shipped = maker_files(firmware, packs, firmware_name)
    if shipped:
        for name, data in shipped.items():
            entries[top + "Firmware/" + name] = data
    else:
        entries[top + "Firmware/README.txt"] = crlf(FIRMWARE_README.format(firmware=firmware_name))
    return entries


def zip_bytes(entries, stamp):
    date_time = time.gmtime(stamp)[:6]
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as archive:
        for name in sorted(entries):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3  # the permissions below are Unix ones
            data = entries[name]
            if data is None:
                info.external_attr = (0o40755 << 16) | 0x10  # folder, MS-DOS folder bit
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=9)
    return out.getvalue()


def write_atomically(path, data):
    partial = path + ".partial"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, path)


def make_release(build_dir, out_dir, firmware=None, packs=None, signer=None):
    """Writes the archive, the program's signature when signer is given, and
    SHA256SUMS into out_dir; (archive path, SHA-256)."""
    inputs = read_inputs(build_dir)
    stamp = entry_time(inputs["source"])
    entries = archive_entries(inputs, firmware, packs)
    base = release_name(inputs["version"])
    published = {}
    if signer:
        try:
            program, signature = authenticode.sign(inputs["program"], signer, stamp,
                                                   inputs["product"])
        except authenticode.SigningError as e:
            raise ReleaseError(str(e)) from None
        entries[base + "/FirmwareUpdater.exe"] = program
        published[base + ".exe.sig"] = signature
    name = base + ".zip"
    published[name] = zip_bytes(entries, stamp)
    os.makedirs(out_dir, exist_ok=True)
    # Files of other versions, or a signature the new archive's program does
    # not carry, would stand beside a SHA256SUMS without them.
    for old in os.listdir(out_dir):
        ours = old.startswith("FirmwareUpdater-") and old.endswith(("-win-x64.zip", ".exe.sig"))
        if ours and old not in published:
            os.remove(os.path.join(out_dir, old))
    sums = ""
    for file_name, data in sorted(published.items()):
        write_atomically(os.path.join(out_dir, file_name), data)
        sums += f"{hashlib.sha256(data).hexdigest()}  {file_name}\n"
    write_atomically(os.path.join(out_dir, "SHA256SUMS"), sums.encode("ascii"))
    return os.path.join(out_dir, name), hashlib.sha256(published[name]).hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", required=True, help="Windows build folder")
    parser.add_argument("--out", required=True, help="folder for the archive and SHA256SUMS")
    parser.add_argument("--firmware", help="the maker's firmware image")
    parser.add_argument("--packs", help="folder with the maker's ZEPHYRA_EN/FR/DE.lang")
    parser.add_argument("--sign", nargs="+", metavar=("CERT", "KEY"),
                        help="sign the program: certificate and key (PEM), or one PKCS#12")
    parser.add_argument("--sign-password-file", metavar="FILE",
                        help="password of the PKCS#12 or of an encrypted key")
    parser.add_argument("--timestamp", metavar="URL",
                        help="RFC 3161 time-stamp server (the signature then differs per run)")
    args = parser.parse_args()
    if args.sign and len(args.sign) > 2:
        parser.error("--sign takes CERT KEY (PEM) or one PKCS#12 file")
    if (args.sign_password_file or args.timestamp) and not args.sign:
        parser.error("--sign-password-file and --timestamp go with --sign")
    signer = None
    if args.sign:
        signer = authenticode.Signer(*args.sign, password_file=args.sign_password_file,
                                     timestamp_url=args.timestamp)
    try:
        path, digest = make_release(args.build, args.out, args.firmware, args.packs, signer)
    except ReleaseError as e:
        print(f"make_release: {e}", file=sys.stderr)
        return 1
    print(f"{path}\nsha256 {digest}")
    if signer:
        print(f"signed; the signature alone: {path[:-len('.zip')]}.exe.sig")
    else:
        print("The program is not signed: Windows names no publisher for it (--sign CERT KEY)")
    if not args.firmware:
        print("Firmware\\ holds only its README: the firmware and the language packs come "
              "from the router's maker (--firmware FILE --packs DIR)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
