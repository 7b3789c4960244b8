#!/usr/bin/env python3
"""Writes the sample firmware image and language packs of the release folder.

    make_samples.py OUT_DIR

OUT_DIR receives ZEPHYRA_FW.bin (a 2 MiB image: a small header, then
pseudo-random bytes from a fixed seed) and ZEPHYRA_EN.lang, _FR.lang and
_DE.lang (UTF-8 text: one translated web-page string per line). The same
bytes come out on every run.
"""
import hashlib
import os
import struct
import sys
import zlib

FIRMWARE_NAME = 'ZEPHYRA_FW.bin'
FIRMWARE_SIZE = 2 * 1024 * 1024
FIRMWARE_VERSION = '2.1.0'
HEADER_SIZE = 64

STRINGS = {
    'EN': [('Status', 'Status'), ('Internet', 'Internet'), ('WirelessNetwork', 'Wireless network'),
           ('Password', 'Password'), ('Save', 'Save'), ('Restart', 'Restart router'),
           ('FirmwareVersion', 'Firmware version'), ('Logout', 'Log out')],
    'FR': [('Status', 'État'), ('Internet', 'Internet'), ('WirelessNetwork', 'Réseau sans fil'),
           ('Password', 'Mot de passe'), ('Save', 'Enregistrer'),
           ('Restart', 'Redémarrer le routeur'), ('FirmwareVersion', 'Version du micrologiciel'),
           ('Logout', 'Se déconnecter')],
    'DE': [('Status', 'Status'), ('Internet', 'Internet'), ('WirelessNetwork', 'WLAN'),
           ('Password', 'Kennwort'), ('Save', 'Speichern'), ('Restart', 'Router neu starten'),
           ('FirmwareVersion', 'Firmware-Version'), ('Logout', 'Abmelden')],
}


def firmware_image():
    body = bytearray()
    block = 0
    while len(body) < FIRMWARE_SIZE - HEADER_SIZE:
        body += hashlib.sha256(b'zephyra-sample-firmware:%d' % block).digest()
        block += 1
    body = bytes(body[:FIRMWARE_SIZE - HEADER_SIZE])
    # Magic text, then body length and CRC-32 (little-endian), zero padding.
    header = ('ZEPHYRA FW %s' % FIRMWARE_VERSION).encode('ascii')
    header += b'\0' * (32 - len(header))
    header += struct.pack('<II', len(body), zlib.crc32(body))
    header += b'\0' * (HEADER_SIZE - len(header))
    return header + body


def language_pack(code):
    lines = ['ZEPHYRA LANG %s %s' % (code, FIRMWARE_VERSION)]
    lines += ['%s=%s' % pair for pair in STRINGS[code]]
    return ('\r\n'.join(lines) + '\r\n').encode('utf-8')


def main(argv):
    if len(argv) != 1:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out_dir = argv[0]
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, FIRMWARE_NAME), 'wb') as f:
        f.write(firmware_image())
    for code in sorted(STRINGS):
        with open(os.path.join(out_dir, 'ZEPHYRA_%s.lang' % code), 'wb') as f:
            f.write(language_pack(code))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
