#!/usr/bin/env python3
"""Renders what each wizard page will roughly look like, for checking a skin
by eye: the main window's background, the page's picture, the buttons and
the label texts (ImageMagick with the Liberation fonts stands in for GDI).

    preview.py SKIN_INI BITMAP_DIR OUT_DIR
"""
import configparser
import os
import subprocess
import sys

FONTS = {
    ('Arial', False): 'Liberation-Sans',
    ('Arial', True): 'Liberation-Sans-Bold',
    ('Helvetica Narrow', False): 'Liberation-Sans-Narrow',
    ('Helvetica Narrow', True): 'Liberation-Sans-Narrow-Bold',
}
PAGE_Y = 0

# section, main background entry, main buttons, page buttons, Label1 shown,
# stand-ins for the page's native controls (x, y, w, h in pixels).
PAGES = [
    ('Language', 'Background', [], [('Control', 'LangExit'), ('Control', 'Next1')], True,
     [(148, 139, 72, 22)]),
    ('FWInfo', 'Background', [], [('Control', 'LangExit'), ('Control', 'Start')], True, []),
    ('Login', 'background_nothing', ['Exit', 'Back', 'Next'], [], False,
     [(240, 163, 150, 22), (240, 217, 150, 22), (240, 267, 150, 22)]),
    ('Verify', 'background_nothing', ['Exit', 'Back', 'Upgrade'], [], False, []),
    ('Upload', 'background_nothing', [], [], False, [(74, 207, 508, 21)]),
    ('UpgradeLang', 'background_nothing', [],
     [('UpgradeLang', 'Upgrade'), ('UpgradeLang', 'Detect')], False, []),
    ('Exit', 'Background', [], [('Control', 'Exit2')], True, []),
]


def read_ini(path):
    ini = configparser.RawConfigParser(strict=True)
    ini.optionxform = str
    with open(path, encoding='ascii') as f:
        ini.read_file(f)
    return ini


def pair(text):
    a, b = (int(v) for v in text.split(',')[:2])
    return a, b


class Preview:
    def __init__(self, ini, bitmaps):
        self.ini, self.bitmaps, self.ops = ini, bitmaps, []

    def value(self, section, key, fallback=None):
        if self.ini.has_option(section, key) and self.ini.get(section, key):
            return self.ini.get(section, key)
        common = key.split('.', 1)[1]
        if self.ini.has_option('Common', common):
            return self.ini.get('Common', common)
        return fallback

    def bitmap(self, section, entry, dx=0, dy=0):
        path = self.ini.get(section, entry + '.FilePath').replace('\\', '/').split('/')[-1]
        x, y = pair(self.ini.get(section, entry + '.Position'))
        self.ops += [os.path.join(self.bitmaps, path), '-geometry', '+%d+%d' % (x + dx, y + dy),
                     '-composite']

    def font(self, section, entry):
        name = self.value(section, entry + '.FontName', 'Arial')
        bold = int(self.value(section, entry + '.FontWeight', '400')) >= 700
        points = int(self.value(section, entry + '.FontSize', '10').split(',')[0])
        return FONTS[(name, bold)], points * 96.0 / 72.0

    def label(self, section, entry, dx=0, dy=0, text=None):
        x, y = pair(self.ini.get(section, entry + '.Position'))
        w, h = pair(self.ini.get(section, entry + '.Size'))
        font, size = self.font(section, entry)
        colour = self.value(section, entry + '.TextColor')
        text = text or self.ini.get(section, entry + '.TextString')
        self.ops += ['(', '-size', '%dx%d' % (w, h), '-background', 'none', '-fill',
                     'rgb(%s)' % colour, '-font', font, '-pointsize', '%.1f' % size,
                     '-gravity', 'NorthWest', 'caption:' + text, ')', '-geometry',
                     '+%d+%d' % (x + dx, y + dy), '-composite']

    def button(self, section, entry, dx=0, dy=0):
        path = self.ini.get(section, entry + '.FilePath').replace('\\', '/').split('/')[-1]
        x, y = pair(self.ini.get(section, entry + '.Position'))
        font, size = self.font(section, entry)
        colour = self.value(section, entry + '.NoActiveColor')
        self.ops += ['(', os.path.join(self.bitmaps, path), '-crop', '88x28+0+0', '+repage',
                     '-fill', 'rgb(%s)' % colour, '-font', font, '-pointsize', '%.1f' % size,
                     '-gravity', 'Center', '-annotate', '+0+0',
                     self.ini.get(section, entry + '.TextString'), ')',
                     '-gravity', 'NorthWest', '-geometry', '+%d+%d' % (x + dx, y + dy),
                     '-composite']

    def box(self, x, y, w, h):
        self.ops += ['-fill', 'white', '-stroke', 'rgb(122,138,160)', '-draw',
                     'rectangle %d,%d %d,%d' % (x, y, x + w, y + h), '-stroke', 'none']


def render_page(ini, bitmaps, out, spec):
    section, main_bg, main_buttons, page_buttons, label1, boxes = spec
    p = Preview(ini, bitmaps)
    first = os.path.join(bitmaps, ini.get('DialogMain', main_bg + '.FilePath').split('\\')[-1])
    p.bitmap(section, 'Background')
    for n in range(1, 5):
        if n > 1 or label1:
            p.label('DialogMain', 'Label%d' % n)
    for b in main_buttons:
        p.button('Control', b)
    for s, b in page_buttons:
        p.button(s, b)
    for box in boxes:
        p.box(*box)
    labels = [k[:-5] for k in ini.options(section) if k.endswith('.Type')
              and ini.get(section, k) == 'Static']
    for entry in labels:
        if section == 'UpgradeLang' and entry == 'Label1':
            continue  # shown instead of Label2 once the router is found
        p.label(section, entry)
    subprocess.run(['convert', first] + p.ops + [os.path.join(out, section + '.png')], check=True)


def render_popup(ini, bitmaps, out):
    p = Preview(ini, bitmaps)
    first = os.path.join(bitmaps, ini.get('Action', 'Background2.FilePath').split('\\')[-1])
    p.label('Action', 'FindDevice')
    subprocess.run(['convert', first] + p.ops + [os.path.join(out, 'Action.png')], check=True)


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    ini = read_ini(argv[0])
    os.makedirs(argv[2], exist_ok=True)
    for spec in PAGES:
        render_page(ini, argv[1], argv[2], spec)
    render_popup(ini, argv[1], argv[2])
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
