#!/usr/bin/env python3
"""Draw Tarnbell's images into app/res/.

Makes:
  app/res/tray_normal.ico  tray image: a fader beside a blue-to-red level bar
  app/res/tray_muted.ico   the same with a red "prohibited" sign at the lower right
  app/res/tray_mic_muted.ico  second tray image, while the microphones are
                           muted: a microphone struck through in red
  app/res/tarnbell.ico     application icon, the same motif
  app/res/about.png        300x200 24-bit picture for the About window

The tray images are drawn at every small-icon size a display scale from
100 % to 200 % asks for (16, 20, 24, 32 and 48 px), so that none is
stretched; the program icon at 16, 32, 48 and 256 px. Windows XP reads only
uncompressed entries, and picks the closest size itself wherever Windows
loads the program icon, so the program icon's 16 and 32 px stay
uncompressed and it has no 20 or 24 px entry that XP could pick and fail to
read; the program loads the tray images itself and gives XP the 16 px one.
Its 48 px entry, which XP's Explorer shows in tile view, is uncompressed
too. Every other entry is PNG (Vista and later), which keeps the program
small.

Run from anywhere:  python3 scripts/make-images.py
Needs Python 3 and ImageMagick 6 (`convert`) with the DejaVu fonts. The
output is deterministic; the build does not run this script, the generated
files are committed.
"""

import os
import struct
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RES = os.path.join(ROOT, "app", "res")

OUTLINE = (24, 26, 30)
TRACK = (140, 146, 156)
TRACK_LIGHT = (178, 184, 194)
KNOB_TOP = (250, 250, 252)
KNOB_BOTTOM = (196, 200, 208)
GRIP_DARK = (96, 100, 110)
TICK = (120, 126, 138)   # visible on light and dark backgrounds alike
SIGN_RED = (222, 28, 28)
SIGN_FILL = (255, 255, 255)

# Level bar colours, bottom (t=0) to top (t=1).
LEVEL_STOPS = [
    (0.00, (40, 90, 255)),
    (0.25, (0, 200, 240)),
    (0.50, (40, 210, 60)),
    (0.75, (255, 220, 0)),
    (1.00, (240, 30, 30)),
]


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def level_colour(t):
    t = min(1.0, max(0.0, t))
    for (t0, c0), (t1, c1) in zip(LEVEL_STOPS, LEVEL_STOPS[1:]):
        if t <= t1:
            return lerp(c0, c1, (t - t0) / (t1 - t0))
    return LEVEL_STOPS[-1][1]


class Canvas:
    """Straight-alpha RGBA pixels, painted with 'over' compositing."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[(0, 0, 0, 0.0) for _ in range(w)] for _ in range(h)]

    def blend(self, x, y, rgb, a):
        if not (0 <= x < self.w and 0 <= y < self.h) or a <= 0:
            return
        r0, g0, b0, a0 = self.px[y][x]
        out_a = a + a0 * (1 - a)
        mix = [(c * a + d * a0 * (1 - a)) / out_a for c, d in zip(rgb, (r0, g0, b0))]
        self.px[y][x] = (mix[0], mix[1], mix[2], out_a)

    def rect(self, x0, y0, x1, y1, rgb):
        """Solid rectangle, inclusive pixel bounds."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.blend(x, y, rgb, 1.0)

    def shape(self, inside, rgb, box=None, ss=8):
        """Antialiased fill of the area where inside(x, y) holds (pixel
        (px, py) covers [px, px+1) x [py, py+1))."""
        x0, y0, x1, y1 = box or (0, 0, self.w - 1, self.h - 1)
        for py in range(max(0, y0), min(self.h - 1, y1) + 1):
            for px in range(max(0, x0), min(self.w - 1, x1) + 1):
                hits = sum(
                    inside(px + (i + 0.5) / ss, py + (j + 0.5) / ss)
                    for i in range(ss) for j in range(ss))
                self.blend(px, py, rgb, hits / (ss * ss))

    def rgba_bytes(self):
        """Rows top-down as 8-bit (r, g, b, a) tuples."""
        rows = []
        for row in self.px:
            rows.append([(int(round(r)), int(round(g)), int(round(b)),
                          int(round(a * 255))) for r, g, b, a in row])
        return rows


# Segment count and gap of the level bar per drawn size.
BAR_SEGMENTS = {16: (5, 1), 20: (6, 1), 24: (7, 1), 32: (6, 1), 48: (9, 1)}


def draw_level_bar(c, S, x0, x1):
    n, gap = BAR_SEGMENTS.get(S, (10, max(1, S // 48)))
    o = max(1, S // 40)
    seg_h = (S - 2 * o - (n - 1) * gap) // n
    total = n * seg_h + (n - 1) * gap + 2 * o
    top = (S - total) // 2
    bottom = top + total - 1
    c.rect(x0, top, x1, bottom, OUTLINE)
    inner_top, inner_bottom = top + o, bottom - o
    span = max(1, inner_bottom - inner_top)
    for i in range(n):
        sy1 = inner_bottom - i * (seg_h + gap)
        sy0 = sy1 - seg_h + 1
        for y in range(sy0, sy1 + 1):
            rgb = level_colour((inner_bottom - y) / span)
            c.rect(x0 + o, y, x1 - o, y, rgb)
            if S >= 32:
                # A lit LED look: bright left edge, shaded bottom row.
                c.blend(x0 + o, y, (255, 255, 255), 0.45)
                if y == sy1:
                    c.rect(x0 + o, y, x1 - o, y, lerp(rgb, (0, 0, 0), 0.3))
    return top, bottom


def draw_fader(c, S, fw, top, bottom):
    o = max(1, S // 40)
    tw = 2 * max(2, round(S / 12))
    tx0 = (fw - tw) // 2
    tx1 = tx0 + tw - 1
    c.rect(tx0, top, tx1, bottom, OUTLINE)
    c.rect(tx0 + o, top + o, tx1 - o, bottom - o, TRACK)
    if S >= 32:
        c.rect(tx1 - o - max(1, S // 32) + 1, top + o, tx1 - o, bottom - o,
               TRACK_LIGHT)
        # Scale ticks in the room between the track and the level bar.
        ticks = 5
        for i in range(ticks):
            y = top + o + 1 + round(i * (bottom - top - 2 * o - 2) / (ticks - 1))
            c.rect(tx1 + 2 * o + 1, y, fw - 1 - max(1, S // 24), y, TICK)
            c.rect(o - 1 + max(1, S // 24), y, tx0 - 2 * o - 1, y, TICK)
    # Knob, a little above the middle: the volume is up.
    kh = max(5, round(S * 5 / 16))
    if kh % 2 == 0:
        kh += 1
    ky0 = round(S * 6 / 16) if S == 16 else round(S * 5 / 16)
    ky1 = ky0 + kh - 1
    c.rect(0, ky0, fw - 1, ky1, OUTLINE)
    for y in range(ky0 + o, ky1 - o + 1):
        t = (y - ky0 - o) / max(1, kh - 2 * o - 1)
        c.rect(o, y, fw - 1 - o, y, lerp(KNOB_TOP, KNOB_BOTTOM, t))
    mid = (ky0 + ky1) // 2
    grips = [0] if S < 40 else [-1, 0, 1]
    step = max(2, S // 16)
    for g in grips:
        y = mid + g * step
        c.rect(o + 1 if S > 16 else o, y, fw - 2 - o if S > 16 else fw - 1 - o,
               y, GRIP_DARK)
        if S > 16:
            c.rect(o + 1, y + 1, fw - 2 - o, y + 1, (255, 255, 255))


def draw_motif(S):
    c = Canvas(S, S)
    bar_x0 = round(S * 9 / 16)
    top, bottom = draw_level_bar(c, S, bar_x0, S - 1)
    draw_fader(c, S, bar_x0 - max(1, round(S / 16)), top, bottom)
    return c


# The "prohibited" sign of the muted tray image, drawn pixel by pixel so it
# stays crisp at 16x16: R red, r half-covered red (rounds the ring),
# W white, "." untouched.
PROHIBITED = [
    "..rRRRRr..",
    ".rRRRRRRr.",
    "rRRRWWWRRr",
    "RRRRRWWWRR",
    "RRWRRRWWRR",
    "RRWWRRRWRR",
    "RRWWWRRRRR",
    "rRRWWWRRRr",
    ".rRRRRRRr.",
    "..rRRRRr..",
]


def draw_prohibited(c, x0, y0, rim):
    """Red ring with a top-left to bottom-right slash. With rim, drawn
    pixels just outside it are darkened so it stands apart from the picture."""
    def in_sign(x, y):
        return (0 <= y < len(PROHIBITED) and 0 <= x < len(PROHIBITED[y])
                and PROHIBITED[y][x] != ".")

    cover = {"R": (SIGN_RED, 1.0), "r": (SIGN_RED, 0.55), "W": (SIGN_FILL, 1.0)}
    for y, row in enumerate(PROHIBITED):
        for x, ch in enumerate(row):
            if ch == ".":
                continue
            if rim:
                for nx, ny in ((x - 1, y), (x, y - 1), (x - 1, y - 1)):
                    px, py = x0 + nx, y0 + ny
                    if not in_sign(nx, ny) and c.px[py][px][3] > 0:
                        c.rect(px, py, px, py, OUTLINE)
            beneath = c.px[y0 + y][x0 + x]
            if ch in "RW":
                # Replace what lies beneath instead of mixing with it.
                c.px[y0 + y][x0 + x] = (0, 0, 0, 0.0)
            elif rim and beneath[3] > 0:
                # Round the ring's edge against the rim, not the picture.
                c.px[y0 + y][x0 + x] = OUTLINE + (1.0,)
            rgb, a = cover[ch]
            c.blend(x0 + x, y0 + y, rgb, a)


def draw_prohibited_smooth(c, S):
    """The sign at larger sizes: an antialiased ring and slash on white, in
    the same place as the 16 px one, with a dark rim where it covers the
    picture."""
    cx = cy = S * 11 / 16
    r = S * 5 / 16
    w = S * 1.6 / 16
    rim = S / 16

    def dist(x, y):
        return ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5

    covered = [[c.px[y][x][3] > 0 for x in range(S)] for y in range(S)]
    c.shape(lambda x, y: dist(x, y) <= r + rim and covered[int(y)][int(x)], OUTLINE)
    c.shape(lambda x, y: dist(x, y) <= r, SIGN_FILL)
    c.shape(lambda x, y: r - w <= dist(x, y) <= r, SIGN_RED)
    c.shape(lambda x, y: dist(x, y) <= r and abs((x - cx) - (y - cy)) <= w / 2 ** 0.5,
            SIGN_RED)


def draw_tray_muted(S):
    c = draw_motif(S)
    if S == 16:
        draw_prohibited(c, 6, 6, rim=True)
    else:
        draw_prohibited_smooth(c, S)
    return c


MIC_BODY_TOP = (236, 238, 242)
MIC_BODY_BOTTOM = (170, 176, 188)


def segment_distance(x, y, ax, ay, bx, by):
    """Distance from (x, y) to the segment from (ax, ay) to (bx, by)."""
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return ((x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2) ** 0.5


def draw_mic_muted(S):
    """A microphone on its stand, struck through top left to bottom right:
    light parts with a dark edge, so that it shows on light and dark task
    bars alike. Drawn in units of S/16 so that every size has the same
    picture."""
    c = Canvas(S, S)
    u = S / 16
    cx = 8 * u

    # Widths in whole pixels at 16 px, so that the small image stays sharp.
    def capsule(grow):
        return lambda x, y: segment_distance(x, y, cx, 4.0 * u, cx, 7.0 * u) <= 2.0 * u + grow

    def holder(width):
        def inside(x, y):
            d = ((x - cx) ** 2 + (y - 7.0 * u) ** 2) ** 0.5
            return y >= 7.0 * u and abs(d - 4.5 * u) <= width / 2
        return inside

    def stand(grow):
        return lambda x, y: (abs(x - cx) <= 1.0 * u + grow and 11.0 * u - grow <= y <= 15.0 * u + grow
                             or abs(x - cx) <= 3.0 * u + grow and abs(y - 14.0 * u) <= 1.0 * u + grow)

    c.shape(holder(2.6 * u), OUTLINE)
    c.shape(stand(1.0 * u), OUTLINE)
    c.shape(capsule(1.0 * u), OUTLINE)
    c.shape(holder(1.1 * u), MIC_BODY_BOTTOM)
    c.shape(stand(0.0), MIC_BODY_BOTTOM)
    for py in range(S):
        t = min(1.0, max(0.0, (py + 0.5 - 1.6 * u) / (8.2 * u)))
        c.shape(capsule(0.0), lerp(MIC_BODY_TOP, MIC_BODY_BOTTOM, t), box=(0, py, S - 1, py))

    def slash(width):
        return lambda x, y: segment_distance(x, y, 2.2 * u, 2.2 * u, 13.8 * u, 13.8 * u) <= width / 2

    c.shape(slash(3.4 * u), OUTLINE)
    c.shape(slash(1.8 * u), SIGN_RED)
    return c


# ---------------------------------------------------------------- ICO / PNG

def dib_32(canvas):
    """BITMAPINFOHEADER + bottom-up BGRA pixels + 1-bit AND mask."""
    S = canvas.w
    rows = canvas.rgba_bytes()
    xor = b"".join(
        bytes(v for r, g, b, a in row for v in (b, g, r, a))
        for row in reversed(rows))
    mask_stride = ((S + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, S, 2 * S, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def write_ico(path, canvases, uncompressed):
    """Entries smallest first; sizes not in `uncompressed` are stored as PNG."""
    images = [dib_32(c) if c.w in uncompressed else png_bytes(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32,
                           len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


def write_png(path, canvas):
    with open(path, "wb") as f:
        f.write(png_bytes(canvas))


def filter_rows(line, above):
    """One PNG row under each filter: none, left, up, average, Paeth."""
    def paeth(a, b, c):
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        return a if pa <= pb and pa <= pc else b if pb <= pc else c

    left = lambda i: line[i - 4] if i >= 4 else 0
    up_left = lambda i: above[i - 4] if i >= 4 else 0
    predictors = [lambda i: 0, left, lambda i: above[i],
                  lambda i: (left(i) + above[i]) // 2,
                  lambda i: paeth(left(i), above[i], up_left(i))]
    return [bytes([kind]) + bytes((line[i] - predict(i)) & 0xFF for i in range(len(line)))
            for kind, predict in enumerate(predictors)]


def png_bytes(canvas):
    """The smallest of the PNGs with one filter for every row, or for each
    row the one that leaves the smallest differences."""
    lines = [bytes(v for px in row for v in px) for row in canvas.rgba_bytes()]
    choices = [filter_rows(line, above) for line, above in
               zip(lines, [bytes(len(lines[0]))] + lines)]
    candidates = [[rows[kind] for rows in choices] for kind in range(5)]
    candidates.append([min(rows, key=lambda row: sum(min(v, 256 - v) for v in row[1:]))
                       for rows in choices])
    idat = min((zlib.compress(b"".join(rows), 9) for rows in candidates), key=len)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", idat) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- About picture

LINK_TEXT = "https://tarnbell.example.org/"
LINK_BOX = (8, 110, 8 + 161, 110 + 17)   # left, top, right, bottom (exclusive)
LINK_POS = (10, 122)                     # text origin, baseline
LINK_FONT = ("DejaVu-Sans-Condensed", 11)
LINK_COLOUR = "#a8dcff"


def run(args):
    return subprocess.run(["convert"] + args, check=True,
                          capture_output=True, text=True).stdout


def text_bounds(font, size, pos, text):
    """Pixel bounds (x0, y0, x1, y1 inclusive) of text drawn at pos."""
    geo = run(["-size", "300x200", "xc:black", "-font", font,
               "-pointsize", str(size), "-fill", "white",
               "-annotate", "+%d+%d" % pos, text, "-format", "%@", "info:"])
    wh, x, y = geo.replace("+", " ").split()
    w, h = (int(v) for v in wh.split("x"))
    return int(x), int(y), int(x) + w - 1, int(y) + h - 1


def make_about(tmp):
    icon = os.path.join(tmp, "motif.png")
    write_png(icon, draw_motif(96))
    # A thin strip of the level colours along the bottom edge.
    strip = os.path.join(tmp, "strip.png")
    band = Canvas(300, 3)
    for x in range(300):
        band.rect(x, 0, x, 2, level_colour(x / 299))
    write_png(strip, band)

    tx0, ty0, tx1, ty1 = text_bounds(LINK_FONT[0], LINK_FONT[1],
                                     LINK_POS, LINK_TEXT)
    underline_y = LINK_POS[1] + 2
    bounds = (tx0, ty0, tx1, max(ty1, underline_y))
    left, top, right, bottom = LINK_BOX
    if not (bounds[0] >= left and bounds[1] >= top and
            bounds[2] < right and bounds[3] < bottom):
        sys.exit("link text %r leaves the link area %r" % (bounds, LINK_BOX))

    drawn = os.path.join(tmp, "about.bmp")
    out = os.path.join(RES, "about.png")
    run([
        "-size", "200x300", "gradient:#0a1c48-#0e6f78", "-rotate", "-90",
        # Soft light behind the picture on the right.
        "(", "-size", "240x240", "radial-gradient:#2a8fa8-#000000", ")",
        "-geometry", "+126-46", "-compose", "screen", "-composite",
        "-compose", "over",
        icon, "-geometry", "+198+24", "-composite",
        strip, "-geometry", "+0+197", "-composite",
        "-font", "DejaVu-Sans-Bold", "-pointsize", "34", "-fill", "white",
        "-annotate", "+10+50", "Tarnbell",
        # No version: the About window shows the build's as text.
        "-font", "DejaVu-Sans", "-pointsize", "12", "-fill", "#b8d0e4",
        "-annotate", "+11+94", "Volume hotkeys for Windows",
        "-font", LINK_FONT[0], "-pointsize", str(LINK_FONT[1]),
        "-fill", LINK_COLOUR, "-annotate", "+%d+%d" % LINK_POS, LINK_TEXT,
        "-stroke", LINK_COLOUR, "-strokewidth", "1",
        "-draw", "line %d,%d %d,%d" % (tx0, underline_y, tx1, underline_y),
        "+stroke", "-alpha", "off", "-type", "TrueColor",
        "BMP3:" + drawn,
    ])
    # Through 8 bits a colour first, as the picture always was. Deflate at
    # its best, each row with its best filter; no time stamps, so that an
    # unchanged picture stays unchanged.
    run([drawn, "-strip", "-quality", "95", "-define", "png:exclude-chunks=date,time",
         "PNG24:" + out])
    return bounds


def main():
    os.makedirs(RES, exist_ok=True)
    tray_sizes = [16, 20, 24, 32, 48]
    write_ico(os.path.join(RES, "tray_normal.ico"),
              [draw_motif(S) for S in tray_sizes], {16})
    write_ico(os.path.join(RES, "tray_muted.ico"),
              [draw_tray_muted(S) for S in tray_sizes], {16})
    write_ico(os.path.join(RES, "tray_mic_muted.ico"),
              [draw_mic_muted(S) for S in tray_sizes], {16})
    write_ico(os.path.join(RES, "tarnbell.ico"),
              [draw_motif(S) for S in [16, 32, 48, 256]], {16, 32, 48})
    with tempfile.TemporaryDirectory() as tmp:
        bounds = make_about(tmp)
    print("link text pixels: x %d..%d, y %d..%d" %
          (bounds[0], bounds[2], bounds[1], bounds[3]))


if __name__ == "__main__":
    main()
