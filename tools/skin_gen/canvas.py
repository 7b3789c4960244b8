"""A small RGB raster with anti-aliased shapes, enough for flat UI art.

Shapes are described by signed distance functions; a pixel's coverage is
0.5 minus its distance from the edge, clamped, which gives one pixel of
smooth edge without supersampling. Pure integer/float maths, so the output
is the same on every run and every machine.
"""
import math


def mix(a, b, t):
    """Colour a blended towards b by t in [0, 1]."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    def __init__(self, width, height, colour=(255, 255, 255)):
        self.width = width
        self.height = height
        self._px = [list(colour) for _ in range(width * height)]

    def pixel(self, x, y):
        return tuple(self._px[y * self.width + x])

    def blend(self, x, y, colour, alpha):
        if alpha <= 0.0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        p = self._px[y * self.width + x]
        if alpha >= 1.0:
            p[0], p[1], p[2] = colour
            return
        for i in range(3):
            p[i] = int(round(p[i] + (colour[i] - p[i]) * alpha))

    def crop(self, x0, y0, width, height):
        out = Canvas(width, height)
        for y in range(height):
            for x in range(width):
                out._px[y * width + x] = list(self.pixel(x0 + x, y0 + y))
        return out

    def paste(self, other, x0, y0):
        for y in range(other.height):
            for x in range(other.width):
                self.blend(x0 + x, y0 + y, other.pixel(x, y), 1.0)

    # Fills -----------------------------------------------------------------

    def fill_rect(self, x0, y0, x1, y1, colour, alpha=1.0):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.blend(x, y, colour, alpha)

    def vertical_gradient(self, x0, y0, x1, y1, top, bottom):
        span = max(1, y1 - y0 - 1)
        for y in range(max(0, y0), min(self.height, y1)):
            c = mix(top, bottom, (y - y0) / span)
            self.fill_rect(x0, y, x1, y + 1, c)

    def horizontal_gradient(self, x0, y0, x1, y1, left, right):
        span = max(1, x1 - x0 - 1)
        for x in range(max(0, x0), min(self.width, x1)):
            c = mix(left, right, (x - x0) / span)
            self.fill_rect(x, y0, x + 1, y1, c)

    # Distance-field shapes -------------------------------------------------

    def shape(self, bbox, distance, colour, alpha=1.0, clip=None):
        """Paints colour where distance(px, py) < 0, with a soft one-pixel edge."""
        x0, y0, x1, y1 = (int(math.floor(v)) for v in bbox)
        if clip:
            x0, y0 = max(x0, clip[0]), max(y0, clip[1])
            x1, y1 = min(x1, clip[2]), min(y1, clip[3])
        for y in range(max(0, y0 - 1), min(self.height, y1 + 2)):
            for x in range(max(0, x0 - 1), min(self.width, x1 + 2)):
                d = distance(x + 0.5, y + 0.5)
                cover = min(1.0, max(0.0, 0.5 - d))
                self.blend(x, y, colour, cover * alpha)

    def rounded_rect(self, x0, y0, x1, y1, radius, colour, alpha=1.0, clip=None):
        cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
        hx, hy = (x1 - x0) / 2.0, (y1 - y0) / 2.0

        def d(px, py):
            qx = abs(px - cx) - hx + radius
            qy = abs(py - cy) - hy + radius
            outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
            return outside + min(max(qx, qy), 0.0) - radius

        self.shape((x0, y0, x1, y1), d, colour, alpha, clip)

    def rounded_frame(self, x0, y0, x1, y1, radius, width, colour, alpha=1.0):
        """Outline of a rounded rectangle, width pixels thick, drawn inside the box."""
        cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
        hx, hy = (x1 - x0) / 2.0, (y1 - y0) / 2.0

        def d(px, py):
            qx = abs(px - cx) - hx + radius
            qy = abs(py - cy) - hy + radius
            outer = math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - radius
            return max(outer, -outer - width)

        self.shape((x0, y0, x1, y1), d, colour, alpha)

    def circle(self, cx, cy, r, colour, alpha=1.0, clip=None):
        self.shape((cx - r, cy - r, cx + r, cy + r),
                   lambda px, py: math.hypot(px - cx, py - cy) - r, colour, alpha, clip)

    def ring(self, cx, cy, r, width, colour, alpha=1.0, start=None, end=None, clip=None):
        """Circle outline of radius r; with start/end (degrees, clockwise from
        12 o'clock) only that arc, with round ends."""
        half = width / 2.0

        def d(px, py):
            dx, dy = px - cx, py - cy
            if start is not None:
                ang = math.degrees(math.atan2(dx, -dy)) % 360.0
                if not _in_arc(ang, start, end):
                    return min(_end_distance(px, py, cx, cy, r, start),
                               _end_distance(px, py, cx, cy, r, end)) - half
            return abs(math.hypot(dx, dy) - r) - half

        self.shape((cx - r - width, cy - r - width, cx + r + width, cy + r + width), d,
                   colour, alpha, clip)

    def line(self, ax, ay, bx, by, width, colour, alpha=1.0):
        """Segment with round caps."""
        half = width / 2.0
        vx, vy = bx - ax, by - ay
        length2 = vx * vx + vy * vy or 1.0

        def d(px, py):
            t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / length2))
            return math.hypot(px - ax - t * vx, py - ay - t * vy) - half

        self.shape((min(ax, bx) - width, min(ay, by) - width, max(ax, bx) + width,
                    max(ay, by) + width), d, colour, alpha)

    def polygon(self, points, colour, alpha=1.0):
        """Filled convex or concave polygon (even-odd), soft edges."""
        n = len(points)

        def d(px, py):
            best = float('inf')
            inside = False
            for i in range(n):
                ax, ay = points[i]
                bx, by = points[(i + 1) % n]
                vx, vy = bx - ax, by - ay
                l2 = vx * vx + vy * vy or 1.0
                t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / l2))
                best = min(best, math.hypot(px - ax - t * vx, py - ay - t * vy))
                if (ay > py) != (by > py) and px < ax + (py - ay) * vx / (by - ay):
                    inside = not inside
            return -best if inside else best

        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.shape((min(xs), min(ys), max(xs), max(ys)), d, colour, alpha)


def _in_arc(ang, start, end):
    if start <= end:
        return start <= ang <= end
    return ang >= start or ang <= end


def _end_distance(px, py, cx, cy, r, ang):
    a = math.radians(ang)
    ex, ey = cx + r * math.sin(a), cy - r * math.cos(a)
    return math.hypot(px - ex, py - ey)
