"""The pictures of the Zephyra skin: page backgrounds, the main window's
backgrounds, button strips and the wait-popup frames.

Pictures carry no text (the labels and buttons draw their own); the
positions below must agree with English.ini, which the skin test checks.
"""
import math

from canvas import Canvas, mix

PAGE_W, PAGE_H = 638, 345
MAIN_W, MAIN_H = 638, 413
STRIP_Y = PAGE_H  # the main window's button strip starts below the page area
HEADER_H = 64
BUTTON_W, BUTTON_H = 88, 28
MAIN_BUTTON_Y = STRIP_Y + (MAIN_H - STRIP_Y - BUTTON_H) // 2
PAGE_BUTTON_Y = 292
SEPARATOR_Y = 284
# The wait popup's client area: its template of 150 x 43 dialog units in the
# System font, inside a thin border.
POPUP_W, POPUP_H = 300, 81

WHITE = (255, 255, 255)
HEADER_TOP = (30, 72, 158)
HEADER_BOTTOM = (54, 110, 202)
ACCENT = (64, 156, 240)
NAVY_TOP = (26, 48, 104)
NAVY_BOTTOM = (14, 30, 70)
PANEL = (244, 247, 252)
PANEL_LINE = (218, 226, 240)
SEPARATOR = (226, 232, 242)
PRIMARY = (30, 110, 220)
UPGRADE = (226, 118, 32)
SUCCESS = (40, 168, 96)
WARNING_FILL = (255, 247, 228)
WARNING_LINE = (240, 190, 96)
WARNING_MARK = (226, 140, 20)
POPUP_BRUSH = (103, 125, 210)  # the popup's own background brush


# Shared pieces ---------------------------------------------------------------

def _waves(c, cx, cy, clip):
    """Brand motif: three signal arcs and a dot, faint white."""
    for i, r in enumerate((18, 32, 46)):
        c.ring(cx, cy, r, 5, WHITE, 0.22 - 0.05 * i, start=300, end=60, clip=clip)
    c.circle(cx, cy, 5, WHITE, 0.3, clip=clip)


def _page_frame(separator=False):
    c = Canvas(PAGE_W, PAGE_H, WHITE)
    c.vertical_gradient(0, 0, PAGE_W, HEADER_H, HEADER_TOP, HEADER_BOTTOM)
    clip = (0, 0, PAGE_W, HEADER_H)
    c.circle(PAGE_W - 40, -30, 110, WHITE, 0.05, clip=clip)
    c.circle(PAGE_W - 150, 90, 70, WHITE, 0.04, clip=clip)
    _waves(c, PAGE_W - 62, 54, clip)
    c.fill_rect(0, HEADER_H, PAGE_W, HEADER_H + 2, ACCENT)
    if separator:
        c.fill_rect(24, SEPARATOR_Y, PAGE_W - 24, SEPARATOR_Y + 1, SEPARATOR)
    return c


def _panel(c, x0, y0, x1, y1, fill=PANEL, line=PANEL_LINE):
    c.rounded_rect(x0, y0, x1, y1, 8, line)
    c.rounded_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 7, fill)


def _badge(c, cx, cy, r, colour):
    c.circle(cx, cy + 2, r + 1, (0, 0, 0), 0.08)
    c.circle(cx, cy, r, colour)


# Pages -----------------------------------------------------------------------

def language_page():
    c = _page_frame(separator=True)
    _panel(c, 24, 128, PAGE_W - 24, 176)
    # A small globe beside the language list.
    gx, gy, gr = 590, 152, 14
    c.ring(gx, gy, gr, 2, PRIMARY)
    c.shape((gx - gr, gy - gr, gx + gr, gy + gr),
            lambda px, py: abs(math.hypot((px - gx) * 2.4, py - gy) - gr) - 1.0, PRIMARY)
    c.line(gx - gr, gy, gx + gr, gy, 2, PRIMARY)
    return c


def welcome_page():
    c = _page_frame(separator=True)
    for y0, y1 in ((142, 214), (242, 278)):
        c.rounded_rect(26, y0, 30, y1, 2, ACCENT, 0.7)
    return c


def login_page():
    c = _page_frame()
    _panel(c, 36, 150, PAGE_W - 36, 304)
    return c


def verify_page():
    c = _page_frame()
    _panel(c, 36, 112, PAGE_W - 36, 172)
    _panel(c, 36, 182, PAGE_W - 36, 240, WARNING_FILL, WARNING_LINE)
    # Warning triangle with an exclamation mark.
    c.polygon([(62, 195), (76, 222), (48, 222)], WARNING_MARK)
    c.line(62, 203, 62, 213, 3, WHITE)
    c.circle(62, 218, 1.6, WHITE)
    return c


def upload_page():
    c = _page_frame()
    _badge(c, PAGE_W // 2, 118, 28, PRIMARY)
    cx = PAGE_W // 2
    c.polygon([(cx, 100), (cx + 13, 115), (cx - 13, 115)], WHITE)
    c.line(cx, 112, cx, 132, 6, WHITE)
    _panel(c, 64, 199, PAGE_W - 46, 236)
    return c


def language_pack_page():
    c = _page_frame(separator=True)
    cx = PAGE_W // 2
    # A router: body, two antennas, status lights, and signal arcs above.
    top = 124
    c.line(cx - 40, top + 4, cx - 50, top - 24, 4, NAVY_TOP)
    c.line(cx + 40, top + 4, cx + 50, top - 24, 4, NAVY_TOP)
    c.rounded_rect(cx - 62, top, cx + 62, top + 38, 9, NAVY_TOP)
    c.rounded_rect(cx - 62, top, cx + 62, top + 10, 5, (52, 80, 150))
    for i in range(4):
        c.circle(cx - 36 + 16 * i, top + 23, 3.2, SUCCESS if i < 3 else ACCENT)
    for i, r in enumerate((14, 24)):
        c.ring(cx, top - 16, r, 3, ACCENT, 0.9 - 0.3 * i, start=315, end=45)
    return c


def finish_page():
    c = _page_frame(separator=True)
    cx, cy = 50, 112
    _badge(c, cx, cy, 24, SUCCESS)
    c.line(cx - 10, cy + 1, cx - 3, cy + 8, 5, WHITE)
    c.line(cx - 3, cy + 8, cx + 11, cy - 8, 5, WHITE)
    return c


# Main window -----------------------------------------------------------------

def _main_frame(decorated):
    c = Canvas(MAIN_W, MAIN_H, WHITE)
    c.paste(_page_frame(), 0, 0)
    c.vertical_gradient(0, STRIP_Y, MAIN_W, MAIN_H, NAVY_TOP, NAVY_BOTTOM)
    c.fill_rect(0, STRIP_Y, MAIN_W, STRIP_Y + 2, ACCENT)
    # Logo mark: a disc with a white zig-zag.
    cx, cy = 42, STRIP_Y + 34
    c.circle(cx, cy, 18, ACCENT)
    c.line(cx - 8, cy - 7, cx + 8, cy - 7, 3.5, WHITE)
    c.line(cx + 8, cy - 7, cx - 8, cy + 7, 3.5, WHITE)
    c.line(cx - 8, cy + 7, cx + 8, cy + 7, 3.5, WHITE)
    if decorated:
        clip = (0, STRIP_Y + 2, MAIN_W, MAIN_H)
        _waves(c, MAIN_W - 70, MAIN_H - 14, clip)
        c.circle(MAIN_W - 200, MAIN_H + 40, 80, WHITE, 0.04, clip=clip)
    return c


def main_background():
    return _main_frame(decorated=True)


def main_background_plain():
    return _main_frame(decorated=False)


# Buttons -----------------------------------------------------------------------

def _strip(backdrop, style):
    """Three states side by side: normal, pressed, hover."""
    c = Canvas(BUTTON_W * 3, BUTTON_H)
    for i in range(3):
        c.paste(backdrop, i * BUTTON_W, 0)
    for i, state in enumerate(('normal', 'pressed', 'hover')):
        x0 = i * BUTTON_W
        style(c, x0 + 1, 1, x0 + BUTTON_W - 1, BUTTON_H - 1, state)
    return c


def _filled(colour):
    def style(c, x0, y0, x1, y1, state):
        if state == 'pressed':
            body, top = mix(colour, (0, 0, 0), 0.22), mix(colour, (0, 0, 0), 0.3)
        elif state == 'hover':
            body, top = mix(colour, WHITE, 0.16), mix(colour, WHITE, 0.3)
        else:
            body, top = colour, mix(colour, WHITE, 0.12)
        c.rounded_rect(x0, y0 + 1, x1, y1, 7, (0, 0, 0), 0.12)
        c.rounded_rect(x0, y0, x1, y1 - 1, 7, body)
        # A soft lighter upper half gives the face some depth.
        c.rounded_rect(x0 + 1, y0 + 1, x1 - 1, (y0 + y1) // 2, 6, top, 0.5)
        if state == 'hover':
            c.rounded_frame(x0, y0, x1, y1 - 1, 7, 1.2, WHITE, 0.55)
    return style


def _outlined(fill, line, hover_line, pressed_fill):
    def style(c, x0, y0, x1, y1, state):
        body = pressed_fill if state == 'pressed' else fill
        edge = hover_line if state == 'hover' else line
        c.rounded_rect(x0, y0, x1, y1, 7, edge)
        c.rounded_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 6, body)
        if state == 'hover':
            c.rounded_frame(x0, y0, x1, y1, 7, 2.0, hover_line)
    return style


def _backdrop_white():
    return Canvas(BUTTON_W, BUTTON_H, WHITE)


def _backdrop_strip():
    # Buttons in the strip show on the plain background; take what lies
    # beneath them there (right of the logo, where the strip is uniform
    # across) so that the rounded corners blend in.
    return main_background_plain().crop(MAIN_W // 2, MAIN_BUTTON_Y, BUTTON_W, BUTTON_H)


def page_button():
    return _strip(_backdrop_white(), _outlined((240, 244, 250), (190, 200, 218), PRIMARY,
                                               (222, 230, 242)))


def page_button_primary():
    return _strip(_backdrop_white(), _filled(PRIMARY))


def main_button():
    return _strip(_backdrop_strip(), _outlined((44, 70, 132), (98, 128, 190), (150, 200, 255),
                                               (30, 52, 104)))


def main_button_next():
    return _strip(_backdrop_strip(), _filled((44, 140, 235)))


def main_button_upgrade():
    return _strip(_backdrop_strip(), _filled(UPGRADE))


# Wait popup ----------------------------------------------------------------------

DOTS = 4


def wait_frame(frame):
    """Frame 0..3: a row of dots with the bright one moving right."""
    c = Canvas(POPUP_W, POPUP_H, POPUP_BRUSH)
    c.vertical_gradient(0, 0, POPUP_W, POPUP_H, (112, 134, 218), (92, 114, 200))
    spacing, y = 30, 30
    x_first = 26  # left-aligned with the caption below
    for i in range(DOTS):
        x = x_first + i * spacing
        if i == frame:
            c.circle(x, y, 8, WHITE)
        elif i == (frame - 1) % DOTS:
            c.circle(x, y, 6, WHITE, 0.6)
        else:
            c.circle(x, y, 5, WHITE, 0.3)
    return c


# File list: name -> (drawing function, bits per pixel).
PICTURES = {
    'language.bmp': (language_page, 24),
    'welcome.bmp': (welcome_page, 24),
    'login.bmp': (login_page, 24),
    'verify.bmp': (verify_page, 24),
    'upload.bmp': (upload_page, 24),
    'langpack.bmp': (language_pack_page, 24),
    'finish.bmp': (finish_page, 24),
    'main.bmp': (main_background, 24),
    'main_plain.bmp': (main_background_plain, 24),
    'button.bmp': (page_button, 24),
    'button_primary.bmp': (page_button_primary, 24),
    'main_button.bmp': (main_button, 24),
    'main_next.bmp': (main_button_next, 24),
    'main_upgrade.bmp': (main_button_upgrade, 24),
    'wait1.bmp': (lambda: wait_frame(0), 8),
    'wait2.bmp': (lambda: wait_frame(1), 8),
    'wait3.bmp': (lambda: wait_frame(2), 8),
    'wait4.bmp': (lambda: wait_frame(3), 8),
}
