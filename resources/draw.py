#!/usr/bin/env python3
"""Draws the program's pictures and writes them next to this script.

Run it after changing a picture: python3 resources/draw.py
The files it writes are committed, so a build needs no Python. With --check
it writes nothing and fails when a committed file differs from its drawing.

  button.bmp    201  the push button's skin: 18 x 105, five 21-row frames
                     (Up, Move, Down, disabled, focused), margins 7, 7, 8, 8
  checkbox.bmp  202  the check box's box: 13 x 156, twelve 13 x 13 frames,
                     frame = 4 x value + look (Up, Move, Down, disabled)
  tab.bmp       203  the tab buttons: 18 x 84, four 21-row frames (Up, Move,
                     Down, disabled), margins 5, 5, 6, 1
  scroll.bmp    204  the list's scroll-bar strips side by side (see
                     SCROLL_LAYOUT and platform/resources.h)
  NAME_16.bmp, NAME_32.bmp, NAME.ico   the program icon (1) and the tray
                     icons 101-104, 32-bit with alpha
  hicolor/NxN.png    the program icon for the Linux desktop (freedesktop icon
                     theme sizes, see HICOLOR_SIZES), RGBA PNGs

Standard library only. Skins are 24-bit BMPs; icons are 32-bit BMPs (straight
alpha, for the embedded copies) and .ico files holding both sizes (Windows).
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)


# ---- Pixels ------------------------------------------------------------------

class Image:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [fill] * (w * h)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c if len(c) == 4 else (c[0], c[1], c[2], 255)

    def blit(self, src, dx, dy):
        for y in range(src.h):
            for x in range(src.w):
                self.put(dx + x, dy + y, src.get(x, y))


def lerp(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def rgb(c):
    return (c[0], c[1], c[2])


# ---- Files -------------------------------------------------------------------

def bmp24(img):
    stride = (img.w * 3 + 3) & ~3
    rows = []
    for y in range(img.h - 1, -1, -1):
        row = bytearray()
        for x in range(img.w):
            r, g, b = img.get(x, y)[:3]
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, img.w, img.h, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data


def bmp32(img):
    """A bottom-up 32-bit BMP with a V4 header and an alpha mask (straight alpha)."""
    data = b"".join(bytes((b, g, r, a)) for y in range(img.h - 1, -1, -1)
                    for (r, g, b, a) in (img.get(x, y) for x in range(img.w)))
    header = struct.pack("<IiiHHIIiiII", 108, img.w, img.h, 1, 32, 3, len(data), 3780, 3780, 0, 0)
    header += struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    header += struct.pack("<I", 0x73524742) + b"\0" * 36 + struct.pack("<III", 0, 0, 0)
    offset = 14 + len(header)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + header + data


def ico(images):
    """An .ico of 32-bit images (colour with alpha plus the AND mask)."""
    blobs = []
    for img in images:
        colour = b"".join(bytes((b, g, r, a)) for y in range(img.h - 1, -1, -1)
                          for (r, g, b, a) in (img.get(x, y) for x in range(img.w)))
        mask_stride = ((img.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(img.h - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(img.w):
                if img.get(x, y)[3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack("<IiiHHIIiiII", 40, img.w, img.h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
        blobs.append(header + colour + bytes(mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", img.w % 256, img.h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def png(img):
    """An 8-bit RGBA PNG (straight alpha, no filtering), the same bytes every run."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(v for x in range(img.w) for v in img.get(x, y)) for y in range(img.h))
    header = struct.pack(">IIBBBBB", img.w, img.h, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


CHECK_ONLY = "--check" in sys.argv
DIFFERENT = []


def write(name, data):
    path = os.path.join(HERE, name)
    if not CHECK_ONLY:
        os.makedirs(os.path.dirname(path), exist_ok=True)
    if CHECK_ONLY:
        try:
            with open(path, "rb") as f:
                same = f.read() == data
        except OSError:
            same = False
        if not same:
            DIFFERENT.append(name)
        return
    with open(path, "wb") as f:
        f.write(data)


# ---- Rounded frames (button, tabs, scroll parts) ------------------------------

def rounded_frame(w, h, outline, corner, face, inner=None, round_bottom=True):
    """A frame with a 1-pixel outline and cut corners.

    face(x, y) gives the fill; inner(x, y, ring) may recolour the rings inside
    the outline (ring 1 touches the outline). The four corner pixels take
    `corner`, their neighbours on the outline a blend of outline and corner,
    and the pixel diagonally inside each corner a blend of outline and fill.
    """
    img = Image(w, h)
    for y in range(h):
        for x in range(w):
            ring = min(x, y, w - 1 - x, h - 1 - y)
            if ring == 0:
                c = outline
            else:
                c = face(x, y)
                if inner is not None:
                    c = inner(x, y, ring) or c
            img.put(x, y, c)
    corners = [(0, 0, 1, 1), (w - 1, 0, -1, 1)]
    if round_bottom:
        corners += [(0, h - 1, 1, -1), (w - 1, h - 1, -1, -1)]
    for cx, cy, sx, sy in corners:
        img.put(cx, cy, corner)
        mid = lerp(outline, corner, 0.45)
        img.put(cx + sx, cy, mid)
        img.put(cx, cy + sy, mid)
        img.put(cx + sx, cy + sy, lerp(outline, img.get(cx + sx, cy + sy)[:3], 0.5))
    return img


def vertical(top, bottom, h, curve=1.0):
    """A fill function: a vertical gradient over a frame h rows high."""
    def f(x, y):
        return lerp(top, bottom, ((y - 1) / max(1, h - 3)) ** curve)
    return f


# ---- Button skin (201): 18 x 105 ---------------------------------------------

BTN_W, BTN_H = 18, 21
BTN_OUTLINE = (45, 80, 130)
BTN_CORNER = (168, 183, 202)
BTN_TOP = (249, 253, 255)
BTN_BOTTOM = (166, 184, 207)


def button_face(h=BTN_H):
    # Light for most of the height, darker near the bottom edge.
    return vertical(BTN_TOP, BTN_BOTTOM, h, curve=2.2)


def button_frame(kind):
    h = BTN_H
    face = button_face()
    if kind == "up":
        def inner(x, y, ring):
            if ring != 1:
                return None
            # A light ring: brighter along the top and left, blue-grey below.
            return lerp((255, 255, 255), (206, 216, 230), (y - 1) / (h - 3))
        return rounded_frame(BTN_W, h, BTN_OUTLINE, BTN_CORNER, face, inner)
    if kind == "move":
        def inner(x, y, ring):
            if ring > 2:
                return None
            c = lerp((245, 232, 161), (218, 121, 38), (y - 1) / (h - 3))
            return c if ring == 1 else lerp(c, (255, 255, 255), 0.25)
        return rounded_frame(BTN_W, h, BTN_OUTLINE, BTN_CORNER, face, inner)
    if kind == "down":
        down = vertical((172, 189, 211), (249, 253, 255), h, curve=0.5)

        def inner(x, y, ring):
            if ring == 1 and (x == 1 or y == 1):
                return (119, 146, 186)
            if ring == 2 and (x == 2 or y == 2):
                return lerp((119, 146, 186), down(x, y), 0.55)
            return None
        return rounded_frame(BTN_W, h, BTN_OUTLINE, BTN_CORNER, down, inner)
    if kind == "disabled":
        return rounded_frame(BTN_W, h, (198, 197, 201), (228, 233, 238), lambda x, y: (255, 255, 255))
    if kind == "focus":
        def inner(x, y, ring):
            if ring > 2:
                return None
            c = lerp((139, 192, 234), (85, 138, 202), (y - 1) / (h - 3))
            return c if ring == 1 else lerp(c, (255, 255, 255), 0.3)
        return rounded_frame(BTN_W, h, (45, 86, 176), BTN_CORNER, face, inner)
    raise ValueError(kind)


def button_skin():
    img = Image(BTN_W, BTN_H * 5)
    for i, kind in enumerate(("up", "move", "down", "disabled", "focus")):
        img.blit(button_frame(kind), 0, i * BTN_H)
    return img


# ---- Tab skin (203): 18 x 84 -------------------------------------------------

TAB_OUTLINE = (135, 155, 179)   # the page frame's colour
TAB_FACE = (212, 208, 200)      # the window's face behind the rounded corners


def tab_frame(kind):
    w, h = 18, 21
    corner = lerp(TAB_OUTLINE, TAB_FACE, 0.7)
    if kind == "disabled":
        img = rounded_frame(w, h, (198, 197, 201), lerp((198, 197, 201), TAB_FACE, 0.7),
                            lambda x, y: (244, 244, 244), round_bottom=False)
        return img
    if kind == "down":
        # The chosen page's tab: white, open towards the page below it.
        def inner(x, y, ring):
            if y in (1, 2) and 0 < x < w - 1:
                c = (255, 186, 66) if y == 1 else (255, 214, 120)
                return lerp(c, (255, 255, 255), 0.15 if x in (1, w - 2) else 0.0)
            return None
        img = rounded_frame(w, h, TAB_OUTLINE, corner, lambda x, y: (255, 255, 255), inner, round_bottom=False)
        for x in range(1, w - 1):
            img.put(x, h - 1, (255, 255, 255))
        return img
    top, bottom = ((255, 255, 255), (226, 232, 241)) if kind == "up" else ((255, 255, 253), (238, 240, 232))
    face = vertical(top, bottom, h, curve=1.4)
    if kind == "move":
        def inner(x, y, ring):
            if y in (1, 2) and 0 < x < w - 1:
                return (248, 179, 48) if y == 1 else (255, 214, 120)
            return None
    else:
        def inner(x, y, ring):
            return (255, 255, 255) if ring == 1 and (x == 1 or y == 1) else None
    return rounded_frame(w, h, TAB_OUTLINE, corner, face, inner, round_bottom=False)


def tab_skin():
    img = Image(18, 84)
    for i, kind in enumerate(("up", "move", "down", "disabled")):
        img.blit(tab_frame(kind), 0, i * 21)
    return img


# ---- Check box skin (202): 13 x 156 ------------------------------------------

CHK = 13
TICK = [(9, 3), (8, 4), (9, 4), (3, 5), (7, 5), (8, 5), (9, 5), (3, 6), (4, 6), (6, 6), (7, 6), (8, 6),
        (3, 7), (4, 7), (5, 7), (6, 7), (7, 7), (4, 8), (5, 8), (6, 8), (5, 9)]


def diagonal(a, b):
    return lambda x, y: lerp(a, b, (x + y - 2) / (2 * (CHK - 3)))


def check_frame(value, look):
    img = Image(CHK, CHK)
    outline = (167, 166, 170) if look == 3 else (28, 81, 128)
    if look == 0:
        fill = diagonal((220, 220, 215), (255, 255, 255))
    elif look == 1:
        ring = diagonal((255, 240, 207), (248, 179, 48))

        def fill(x, y):
            return ring(x, y) if min(x, y, CHK - 1 - x, CHK - 1 - y) <= 2 else (231, 231, 227)
    elif look == 2:
        fill = diagonal((176, 176, 167), (241, 239, 223))
    else:
        def fill(x, y):
            return (255, 255, 255)
    for y in range(CHK):
        for x in range(CHK):
            edge = x in (0, CHK - 1) or y in (0, CHK - 1)
            img.put(x, y, outline if edge else fill(x, y))
    if value == 1:
        for i, (x, y) in enumerate(TICK):
            if look == 2:
                c = lerp((25, 122, 24), (29, 140, 27), (y - 3) / 6)
            elif look == 3:
                c = (161, 160, 164)
            else:
                c = (33, 161, 33)
            img.put(x, y, c)
    elif value == 2:
        for y in range(3, 10):
            for x in range(3, 10):
                t = (y - 3) / 6
                c = {0: lerp((109, 187, 108), (118, 197, 118), t), 1: (33, 161, 33),
                     2: lerp((24, 116, 22), (31, 148, 28), t), 3: (184, 183, 187)}[look]
                img.put(x, y, c)
    return img


def check_skin():
    img = Image(CHK, CHK * 12)
    for value in range(3):
        for look in range(4):
            img.blit(check_frame(value, look), 0, (4 * value + look) * CHK)
    return img


# ---- Scroll-bar strips (204) -------------------------------------------------

# Each strip's left edge in scroll.bmp (every strip starts at the top); the
# rest of the picture is magenta. Kept in step with res:: in resources.h.
SCROLL_LAYOUT = [
    ("arrows", 0, 17, 68),    # 4 cells 17 x 17: normal, hot, pressed, disabled
    ("thumb", 17, 15, 88),    # 4 cells 15 x 22
    ("shaft", 32, 17, 68),    # 4 cells 17 x 17
    ("glyphs", 49, 9, 144),   # 16 cells 9 x 9: up (4 states), down (4 states), 8 unused
    ("small", 58, 7, 112),    # 16 cells 7 x 7, as glyphs
    ("gripper", 65, 8, 32),   # 4 cells 8 x 8
    ("check", 73, 13, 52),    # the list's check box: unchecked, checked, both disabled
]
SCROLL_W, SCROLL_H = 86, 144

PART_LOOKS = [
    # outline, top of the face, bottom of the face
    ((150, 169, 199), (246, 249, 253), (205, 217, 235)),   # normal
    ((226, 154, 66), (255, 253, 244), (224, 232, 245)),    # hot: warmer, lighter
    ((107, 134, 178), (176, 195, 222), (222, 231, 244)),   # pressed: darker, upside down
    ((204, 204, 208), (246, 246, 246), (238, 238, 238)),   # disabled
]
TRACK_BACK = (255, 255, 255)


def part_cell(w, h, state, horizontal_face=False):
    outline, top, bottom = PART_LOOKS[state]
    corner = lerp(outline, TRACK_BACK, 0.6)
    if horizontal_face:
        def face(x, y):
            return lerp(top, bottom, (x - 1) / max(1, w - 3))
    else:
        face = vertical(top, bottom, h)

    def inner(x, y, ring):
        if ring == 1 and state != 2 and (x == 1 or y == 1):
            return lerp(face(x, y), (255, 255, 255), 0.6)
        return None
    return rounded_frame(w, h, outline, corner, face, inner)


def shaft_cell(state):
    tones = [(243, 244, 248), (233, 237, 245), (196, 208, 228), (247, 247, 247)]
    edges = [(226, 229, 236), (214, 221, 233), (170, 186, 212), (236, 236, 236)]
    img = Image(17, 17)
    for y in range(17):
        for x in range(17):
            img.put(x, y, edges[state] if x in (0, 16) else tones[state])
    return img


GLYPH_INK = [(77, 97, 133), (40, 74, 138), (28, 52, 100), (172, 172, 178)]


def glyph_cell(size, up, state):
    img = Image(size, size, MAGENTA + (255,))
    mid = size // 2
    arm = mid - 1                      # half width of the chevron
    top = (size - (arm + 2)) // 2      # the chevron is arm + 2 rows high
    for x in range(mid - arm, mid + arm + 1):
        d = abs(x - mid)
        for k in (0, 1):
            y = top + d + k if up else size - 1 - (top + d + k)
            img.put(x, y, GLYPH_INK[state])
    return img


def gripper_cell(state):
    img = Image(8, 8, MAGENTA + (255,))
    ink = [(128, 146, 178), (200, 130, 50), (70, 96, 140), (200, 200, 204)][state]
    for row in (0, 2, 4, 6):
        for x in range(1, 7):
            img.put(x, row, ink)
            img.put(x + 1, row + 1, (255, 255, 255))
    return img


def list_check_cell(checked, enabled):
    outline = (127, 157, 185) if enabled else (201, 197, 190)
    tick = (33, 161, 33) if enabled else (170, 170, 170)
    fill = diagonal((224, 228, 232), (255, 255, 255)) if enabled else (lambda x, y: (244, 244, 244))
    img = Image(CHK, CHK)
    for y in range(CHK):
        for x in range(CHK):
            img.put(x, y, outline if x in (0, CHK - 1) or y in (0, CHK - 1) else fill(x, y))
    if checked:
        for x, y in TICK:
            img.put(x, y, tick)
    return img


def scroll_skin():
    img = Image(SCROLL_W, SCROLL_H, MAGENTA + (255,))
    at = {name: x for name, x, _, _ in SCROLL_LAYOUT}
    for s in range(4):
        img.blit(part_cell(17, 17, s), at["arrows"], 17 * s)
        img.blit(part_cell(15, 22, s, horizontal_face=True), at["thumb"], 22 * s)
        img.blit(shaft_cell(s), at["shaft"], 17 * s)
        for up in (True, False):
            img.blit(glyph_cell(9, up, s), at["glyphs"], 9 * (s + (0 if up else 4)))
            img.blit(glyph_cell(7, up, s), at["small"], 7 * (s + (0 if up else 4)))
        img.blit(gripper_cell(s), at["gripper"], 8 * s)
    for i, (checked, enabled) in enumerate(((False, True), (True, True), (False, False), (True, False))):
        img.blit(list_check_cell(checked, enabled), at["check"], CHK * i)
    return img


# ---- Icons: one shield in five colours ---------------------------------------

def shield_half_width(v):
    """Half the shield's width at height v (0 top, 1 bottom), or None outside."""
    top, shoulder, tip = 0.05, 0.42, 0.97
    if v < top or v > tip:
        return None
    if v < shoulder:
        return 0.42
    t = (v - shoulder) / (tip - shoulder)
    return 0.42 * (1.0 - t ** 1.7) ** 0.85


def in_shield(u, v, inset=0.0):
    hw = shield_half_width(v - inset * 0.2) if inset else shield_half_width(v)
    if hw is None or v < 0.05 + inset or v > 0.97 - inset * 1.6:
        return False
    # Rounded top corners.
    dx = abs(u - 0.5)
    r = 0.1
    if v < 0.05 + r and dx > 0.42 - r:
        cy, cx = 0.05 + r, 0.42 - r
        if (dx - cx) ** 2 + (v - cy) ** 2 > (r - inset) ** 2:
            return False
    return dx <= hw - inset


def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return ((px - ax - t * vx) ** 2 + (py - ay - t * vy) ** 2) ** 0.5


def symbol_check(u, v, width):
    return min(seg_dist(u, v, 0.30, 0.48, 0.45, 0.64), seg_dist(u, v, 0.45, 0.64, 0.71, 0.30)) <= width


def symbol_cross(u, v, width):
    return min(seg_dist(u, v, 0.34, 0.30, 0.66, 0.64), seg_dist(u, v, 0.66, 0.30, 0.34, 0.64)) <= width


def symbol_power(u, v, width):
    cx, cy, r = 0.5, 0.50, 0.185
    d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
    ring = abs(d - r) <= width * 0.9 and not (v < cy and abs(u - cx) < 0.12)
    bar = seg_dist(u, v, cx, 0.22, cx, 0.47) <= width * 0.9
    return ring or bar


def symbol_dot(u, v, width):
    return False


ICONS = [
    # file name, resource, light, dark, border, symbol
    ("program", 1, (112, 156, 222), (38, 76, 150), (26, 48, 98), symbol_power),
    ("enabled", 101, (124, 206, 96), (36, 132, 46), (22, 84, 28), symbol_dot),
    ("success", 102, (104, 176, 246), (28, 98, 196), (18, 58, 128), symbol_check),
    ("refused", 103, (244, 112, 100), (186, 32, 30), (116, 18, 16), symbol_cross),
    ("disabled", 104, (206, 206, 206), (134, 134, 138), (92, 92, 96), symbol_dot),
]


# The sizes of the program icon in the desktop's icon theme (hicolor).
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def shield_icon(size, light, dark, border, symbol):
    img = Image(size, size)
    n = max(2, min(6, 192 // size))           # samples per pixel side
    px = 1.0 / size
    # Lines keep their 32-pixel look (in proportion) at larger sizes.
    line = max(px, 1.0 / 40)
    border_w = px * 1.1 if size <= 16 else line * 1.4
    stroke = px * 1.0 if size <= 16 else line * 1.6
    for y in range(size):
        for x in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    u = (x + (sx + 0.5) / n) / size
                    v = (y + (sy + 0.5) / n) / size
                    if not in_shield(u, v):
                        continue
                    if not in_shield(u, v, border_w):
                        c = border
                    elif symbol(u, v, stroke):
                        c = (255, 255, 255)
                    else:
                        # Light at the top left, dark at the bottom right; the
                        # left half a little lighter than the right.
                        t = 0.75 * v + 0.25 * u
                        c = lerp(light, dark, (t - 0.1) / 0.8)
                        if u < 0.5:
                            c = lerp(c, (255, 255, 255), 0.16)
                        if v < 0.05 + border_w + line * 1.2:
                            c = lerp(c, (255, 255, 255), 0.35)
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
                    acc[3] += 1
            if acc[3] == 0:
                continue
            a = acc[3] / (n * n)
            img.put(x, y, (int(round(acc[0] / acc[3])), int(round(acc[1] / acc[3])),
                           int(round(acc[2] / acc[3])), int(round(a * 255))))
    return img


def main():
    write("button.bmp", bmp24(button_skin()))
    write("checkbox.bmp", bmp24(check_skin()))
    write("tab.bmp", bmp24(tab_skin()))
    write("scroll.bmp", bmp24(scroll_skin()))
    for name, _, light, dark, border, symbol in ICONS:
        small = shield_icon(16, light, dark, border, symbol)
        large = shield_icon(32, light, dark, border, symbol)
        write(name + "_16.bmp", bmp32(small))
        write(name + "_32.bmp", bmp32(large))
        write(name + ".ico", ico([small, large]))
    name, _, light, dark, border, symbol = ICONS[0]
    for size in HICOLOR_SIZES:
        write("hicolor/%dx%d.png" % (size, size), png(shield_icon(size, light, dark, border, symbol)))
    if DIFFERENT:
        print("draw.py: not as drawn: " + ", ".join(DIFFERENT), file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
