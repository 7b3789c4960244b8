#!/usr/bin/env python3
"""Checks the shipped skin as the program will meet it: every entry that a
window loads is there with the right kind, every picture it names is a
bitmap the reader accepts, texts fit their labels, controls do not collide,
and MSG.ini and the sample files agree with each other.

    test_skin_files.py [--bitmaps DIR]   (DIR: the build's drawn pictures;
                                          without it they are drawn here)
"""
import configparser
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
SKIN_INI = os.path.join(ROOT, 'res', 'skin', 'English.ini')
MSG_INI = os.path.join(ROOT, 'res', 'MSG.ini')
MAKE_SKIN = os.path.join(ROOT, 'tools', 'skin_gen', 'make_skin.py')
MAKE_SAMPLES = os.path.join(ROOT, 'tools', 'make_samples.py')
BITMAPS = None  # set from the command line

PAGE = (638, 345)
MAIN = (638, 413)
STRIP_TOP = 345

# (section, entries, kind): everything the windows load.
ENTRIES = [
    ('DialogMain', ['Background', 'background_nothing'], 'Bitmap'),
    ('DialogMain', ['Label1', 'Label2', 'Label3', 'Label4'], 'Static'),
    ('Control', ['Exit', 'Back', 'Next', 'Upgrade', 'LangExit', 'Next1', 'Start', 'Exit2'],
     'Button'),
    ('Language', ['Background'], 'Bitmap'),
    ('Language', ['Label%d' % i for i in range(1, 7)], 'Static'),
    ('FWInfo', ['Background'], 'Bitmap'),
    ('FWInfo', ['Label%d' % i for i in range(1, 12)], 'Static'),
    ('Login', ['Background'], 'Bitmap'),
    ('Login', ['Label%d' % i for i in range(1, 6)], 'Static'),
    ('Verify', ['Background'], 'Bitmap'),
    ('Verify', ['Label%d' % i for i in range(1, 10)], 'Static'),
    ('Upload', ['Background'], 'Bitmap'),
    ('Upload', ['Label1', 'Label2'], 'Static'),
    ('UpgradeLang', ['Background'], 'Bitmap'),
    ('UpgradeLang', ['Label1', 'Label2'], 'Static'),
    ('UpgradeLang', ['Upgrade', 'Exit', 'Detect'], 'Button'),
    ('Exit', ['Background'], 'Bitmap'),
    ('Exit', ['Label%d' % i for i in range(1, 6)], 'Static'),
    ('Action', ['Background1', 'Background2', 'Background3', 'Background4'], 'Bitmap'),
    ('Action', ['FindDevice', 'SetupDevice', 'CheckInternet', 'Upgrade'], 'Static'),
]
KEYS = {
    'Bitmap': {'Type', 'FilePath', 'Position', 'Size'},
    'Static': {'Type', 'Position', 'Size', 'TextColor', 'TextString', 'FontName', 'FontSize',
               'FontWeight', 'Transparent', 'BkColor'},
    'Button': {'Type', 'FilePath', 'Position', 'TextString', 'FontName', 'FontSize',
               'FontWeight', 'ActiveColor', 'NoActiveColor', 'ClickOffset', 'ToolTip'},
}
COMMON_KEYS = ['TextColor', 'FontName', 'FontSize', 'FontWeight', 'Transparent', 'BkColor',
               'ActiveColor', 'NoActiveColor', 'ClickOffset']
FONTS = {'Arial': 1.0, 'Helvetica Narrow': 0.82}  # relative glyph widths

# What each window shows: its size, its own buttons and the native controls
# of its template (pixels), which no label may cover.
WINDOWS = {
    'Language': (PAGE, [('Control', 'LangExit'), ('Control', 'Next1')], [(148, 139, 72, 22)]),
    'FWInfo': (PAGE, [('Control', 'LangExit'), ('Control', 'Start')], []),
    'Login': (PAGE, [], [(240, 163, 150, 22), (240, 217, 150, 22), (240, 267, 150, 22)]),
    'Verify': (PAGE, [], []),
    'Upload': (PAGE, [], [(73, 207, 509, 21)]),
    'UpgradeLang': (PAGE, [('UpgradeLang', 'Upgrade'), ('UpgradeLang', 'Exit'),
                           ('UpgradeLang', 'Detect')], []),
    'Exit': (PAGE, [('Control', 'Exit2')], []),
    'DialogMain': (MAIN, [('Control', 'Exit'), ('Control', 'Back'), ('Control', 'Next')], []),
    'Action': ((300, 81), [], []),
}
# Entries shown in turn in the same place, never together.
ALTERNATIVES = [{('UpgradeLang', 'Label1'), ('UpgradeLang', 'Label2')},
                {('UpgradeLang', 'Exit'), ('UpgradeLang', 'Detect')},
                {('Action', 'FindDevice'), ('Action', 'SetupDevice'),
                 ('Action', 'CheckInternet'), ('Action', 'Upgrade')}]


def read_ini(path):
    ini = configparser.RawConfigParser(strict=True)  # duplicates are errors
    ini.optionxform = str
    with open(path, encoding='ascii') as f:
        ini.read_file(f)
    return ini


def numbers(text):
    return [int(v) for v in text.split(',')]


def read_bmp(path):
    """Parses a bitmap as the program's reader does and returns its facts,
    raising AssertionError for anything that reader would choke on."""
    with open(path, 'rb') as f:
        data = f.read()
    assert len(data) >= 54, 'too short'
    magic, file_size, _, _, offset = struct.unpack_from('<2sIHHI', data, 0)
    (size, width, height, planes, bits, compression, image_size, _, _, used,
     _) = struct.unpack_from('<IiiHHIIiiII', data, 14)
    assert magic == b'BM', 'no BM'
    assert file_size == len(data), 'bfSize %d, file %d' % (file_size, len(data))
    assert size == 40 and planes == 1, 'header %d, planes %d' % (size, planes)
    assert bits in (8, 24) and compression == 0, 'bits %d, compression %d' % (bits, compression)
    assert width > 0 and height > 0, 'top-down or empty'
    # The shipped pictures have their pixels right after the colour table.
    colours = (used or 1 << bits) if bits <= 8 else used
    assert offset == 54 + 4 * colours, 'bfOffBits %d, table of %d' % (offset, colours)
    stride = (width * bits + 31) // 32 * 4
    assert image_size == stride * height, 'biSizeImage'
    assert len(data) == offset + stride * height, 'pixel bytes'
    if bits == 8:
        assert 0 < colours <= 256, 'palette of %d' % colours
        pixels = data[offset:]
        top = max(pixels[y * stride + x] for y in range(height) for x in range(width))
        assert top < colours, 'index %d beyond the palette' % top
    return {'width': width, 'height': height, 'bits': bits}


def wrapped_lines(text, width_px, char_px):
    """Lines that DT_WORDBREAK would make, estimated with a fixed glyph width."""
    per_line = max(1, int(width_px // char_px))
    lines, current = 0, 0
    for word in text.split():
        n = len(word)
        if current and current + 1 + n > per_line:
            lines, current = lines + 1, 0
        current = n if not current else current + 1 + n
        lines += (n - 1) // per_line if n > per_line else 0
    return lines + 1


class Skin:
    def __init__(self):
        self.ini = read_ini(SKIN_INI)

    def get(self, section, entry, key):
        full = '%s.%s' % (entry, key)
        if self.ini.has_option(section, full) and self.ini.get(section, full) != '':
            return self.ini.get(section, full)
        if key in COMMON_KEYS and self.ini.has_option('Common', key):
            return self.ini.get('Common', key)
        return None

    def rect(self, section, entry):
        x, y = numbers(self.get(section, entry, 'Position'))
        size = self.get(section, entry, 'Size')
        if size is None:  # a button: one state image of its strip
            info = read_bmp(self.bitmap_path(section, entry))
            return (x, y, info['width'] // 3, info['height'])
        w, h = numbers(size)
        return (x, y, w, h)

    def bitmap_path(self, section, entry):
        value = self.get(section, entry, 'FilePath')
        return os.path.join(BITMAPS, value.replace('\\', '/').split('/', 1)[1])

    def font(self, section, entry):
        name = self.get(section, entry, 'FontName')
        size = numbers(self.get(section, entry, 'FontSize'))[0]
        bold = int(self.get(section, entry, 'FontWeight')) >= 600
        char = 7.0 * size / 10.0 * FONTS[name] * (1.1 if bold else 1.0)
        return char, size * 1.6  # glyph width and line height in pixels


def overlap(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def inside(r, size):
    return r[0] >= 0 and r[1] >= 0 and r[0] + r[2] <= size[0] and r[1] + r[3] <= size[1]


class SkinFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.skin = Skin()

    def entries(self, kind=None):
        for section, names, k in ENTRIES:
            if kind in (None, k):
                for name in names:
                    yield section, name, k

    def test_every_entry_is_there_with_its_kind_and_known_keys(self):
        for section, name, kind in self.entries():
            with self.subTest(section=section, entry=name):
                self.assertEqual(self.skin.ini.get(section, name + '.Type', fallback=None), kind)
                keys = {k.split('.', 1)[1] for k in self.skin.ini.options(section)
                        if k.split('.', 1)[0] == name}
                self.assertEqual(keys - KEYS[kind], set(), 'keys the loader never reads')

    def test_no_entry_is_left_over_or_broken(self):
        wanted = {(s, n) for s, n, _ in self.entries()}
        for section in self.skin.ini.sections():
            if section == 'Common':
                continue
            for key in self.skin.ini.options(section):
                with self.subTest(section=section, key=key):
                    self.assertIn('.', key)
                    self.assertIn((section, key.split('.', 1)[0]), wanted)

    def test_common_section_is_complete(self):
        for key in COMMON_KEYS:
            with self.subTest(key=key):
                self.assertTrue(self.skin.ini.get('Common', key, fallback=''))

    def test_values_have_their_forms(self):
        forms = {'Position': 2, 'Size': 2, 'ClickOffset': 2, 'TextColor': 3, 'BkColor': 3,
                 'ActiveColor': 3, 'NoActiveColor': 3}
        for section, name, kind in self.entries():
            for key, count in forms.items():
                value = self.skin.get(section, name, key)
                if key in KEYS[kind] and value is not None:
                    with self.subTest(section=section, entry=name, key=key):
                        parts = numbers(value)
                        self.assertEqual(len(parts), count)
                        if count == 3:
                            self.assertTrue(all(0 <= p <= 255 for p in parts))
            if kind != 'Bitmap':
                with self.subTest(section=section, entry=name, key='font'):
                    self.assertIn(self.skin.get(section, name, 'FontName'), FONTS)
                    self.assertEqual(self.skin.get(section, name, 'Transparent') or '1', '1')

    def test_every_picture_is_a_bitmap_the_reader_takes(self):
        bits = set()
        for section, name, kind in self.entries():
            if kind == 'Static':
                continue
            with self.subTest(section=section, entry=name):
                value = self.skin.get(section, name, 'FilePath')
                self.assertTrue(value.startswith('skin\\'), value)
                info = read_bmp(self.skin.bitmap_path(section, name))
                bits.add(info['bits'])
                if kind == 'Button':
                    self.assertEqual(info['width'] % 3, 0, 'strip width')
                else:
                    # Drawn at its own size: no stretching blur.
                    self.assertEqual([info['width'], info['height']],
                                     numbers(self.skin.get(section, name, 'Size')))
        self.assertEqual(bits, {8, 24}, 'both bitmap formats are shipped')

    def test_backgrounds_cover_their_windows(self):
        for section, (size, _, _) in WINDOWS.items():
            for name in ('Background', 'background_nothing', 'Background1', 'Background4'):
                if self.skin.ini.has_option(section, name + '.Type'):
                    with self.subTest(section=section, entry=name):
                        self.assertEqual(self.skin.rect(section, name), (0, 0) + size)

    def test_texts_are_given_and_fit_their_labels(self):
        for section, name, kind in self.entries():
            if kind == 'Bitmap':
                continue
            with self.subTest(section=section, entry=name):
                text = self.skin.get(section, name, 'TextString')
                self.assertTrue(text and text.strip())
                char, line = self.skin.font(section, name)
                x, y, w, h = self.skin.rect(section, name)
                if kind == 'Static':
                    self.assertLessEqual(wrapped_lines(text, w, char) * line, h + 0.5, text)
                else:
                    self.assertLessEqual(len(text) * char, w - 12, text)
                    self.assertTrue(self.skin.get(section, name, 'ToolTip'))

    def test_controls_stay_inside_their_windows_and_apart(self):
        for section, (size, buttons, natives) in WINDOWS.items():
            labels = [(section, n) for n in self.skin.ini.options(section)
                      if n.endswith('.Type') and self.skin.ini.get(section, n) == 'Static']
            items = [(s, n[:-5]) for s, n in labels] + buttons
            rects = {item: self.skin.rect(*item) for item in items}
            for item, r in rects.items():
                with self.subTest(item=item):
                    self.assertTrue(inside(r, size), r)
                    for i, native in enumerate(natives):
                        self.assertFalse(overlap(r, native), 'covers native control %d' % i)
            for a in items:
                for b in items:
                    if a < b and not any({a, b} <= alt for alt in ALTERNATIVES):
                        with self.subTest(a=a, b=b):
                            self.assertFalse(overlap(rects[a], rects[b]))

    def test_main_window_controls_sit_in_the_strip_below_the_pages(self):
        for section, name in [('Control', 'Exit'), ('Control', 'Back'), ('Control', 'Next'),
                              ('Control', 'Upgrade')] + [('DialogMain', 'Label%d' % i)
                                                         for i in range(1, 5)]:
            with self.subTest(entry=name):
                self.assertGreaterEqual(self.skin.rect(section, name)[1], STRIP_TOP)

    def test_reskinned_buttons_keep_their_place(self):
        same = [(('Control', 'Next'), ('Control', 'Upgrade')),
                (('UpgradeLang', 'Exit'), ('UpgradeLang', 'Detect'))]
        for a, b in same:
            with self.subTest(a=a, b=b):
                self.assertEqual(self.skin.rect(*a), self.skin.rect(*b))

    def test_drawing_is_deterministic(self):
        with tempfile.TemporaryDirectory() as out, tempfile.TemporaryDirectory() as seeds:
            subprocess.run([sys.executable, MAKE_SKIN, out, '--seeds', seeds], check=True)
            seed_bits = set()
            for name in sorted(os.listdir(seeds)):
                with self.subTest(seed=name):
                    seed_bits.add(read_bmp(os.path.join(seeds, name))['bits'])
                    self.assertLess(os.path.getsize(os.path.join(seeds, name)), 4096)
            self.assertEqual(seed_bits, {8, 24}, 'short fuzz seeds in both formats')
            names = sorted(n for n in os.listdir(out) if n.endswith('.bmp'))
            shipped = sorted(n for n in os.listdir(BITMAPS) if n.endswith('.bmp'))
            self.assertEqual(names, shipped)
            for name in names:
                with self.subTest(picture=name):
                    with open(os.path.join(out, name), 'rb') as a, \
                            open(os.path.join(BITMAPS, name), 'rb') as b:
                        self.assertTrue(a.read() == b.read(), 'differs from the build')


class ReleaseDataTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.samples = []
        for run in ('a', 'b'):
            out = os.path.join(cls.tmp.name, run)
            subprocess.run([sys.executable, MAKE_SAMPLES, out], check=True)
            cls.samples.append(out)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_messages_are_all_given(self):
        msg = read_ini(MSG_INI)
        for key in ('FillIP', 'FW_FileName', 'Retry', 'Connection'):
            with self.subTest(key=key):
                self.assertTrue(msg.get('MSG', key, fallback='').strip())

    def test_firmware_named_in_msg_ini_is_a_sample_file(self):
        path = read_ini(MSG_INI).get('MSG', 'FW_FileName')
        self.assertLessEqual(len(path), 259)
        parts = path.split('\\')
        self.assertEqual(parts[:-1], ['.', 'Firmware'])
        with open(os.path.join(self.samples[0], parts[-1]), 'rb') as f:
            image = f.read()
        self.assertEqual(len(image), 2 * 1024 * 1024)
        self.assertTrue(image.startswith(b'ZEPHYRA FW 2.1.0\0'))
        body_len = struct.unpack_from('<I', image, 32)[0]
        self.assertEqual(body_len, len(image) - 64)

    def test_every_language_has_its_pack(self):
        for code in ('EN', 'FR', 'DE'):
            with self.subTest(code=code):
                with open(os.path.join(self.samples[0], 'ZEPHYRA_%s.lang' % code), 'rb') as f:
                    text = f.read().decode('utf-8')
                self.assertTrue(text.startswith('ZEPHYRA LANG %s ' % code))
                self.assertGreater(len(text.splitlines()), 4)

    def test_samples_are_deterministic(self):
        for name in sorted(os.listdir(self.samples[0])):
            with self.subTest(file=name):
                with open(os.path.join(self.samples[0], name), 'rb') as a, \
                        open(os.path.join(self.samples[1], name), 'rb') as b:
                    self.assertTrue(a.read() == b.read())


def main():
    global BITMAPS
    args = sys.argv[1:]
    tmp = None
    if '--bitmaps' in args:
        i = args.index('--bitmaps')
        BITMAPS = args[i + 1]
        del args[i:i + 2]
    else:
        tmp = tempfile.TemporaryDirectory()
        BITMAPS = tmp.name
        subprocess.run([sys.executable, MAKE_SKIN, BITMAPS], check=True)
    result = unittest.main(argv=[sys.argv[0]] + args, exit=False).result
    if tmp:
        tmp.cleanup()
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
