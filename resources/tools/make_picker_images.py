#!/usr/bin/env python3
"""Draws the account and source images of the pickers (20 x 20 pixels).

Each picture is drawn on a magenta ground; the picker treats the colour of
the bottom-left pixel as transparent, so nothing is drawn there. Run from
the repository root:  python3 resources/tools/make_picker_images.py
"""
import math
import os
import struct
import zlib

SIZE = 20
GROUND = (255, 0, 255)

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
SKIN = (247, 206, 160)
SKIN_DARK = (196, 140, 90)
HAIR = (110, 70, 30)
BLUE = (40, 80, 200)
BLUE_DARK = (20, 40, 120)
LIGHT_BLUE = (120, 170, 240)
RED = (200, 30, 30)
RED_DARK = (120, 10, 10)
GREEN = (30, 150, 50)
GREEN_DARK = (10, 90, 20)
GREY = (150, 150, 150)
GREY_DARK = (90, 90, 90)
GREY_LIGHT = (205, 205, 205)
YELLOW = (250, 210, 30)
ORANGE = (240, 140, 20)
BROWN = (140, 90, 40)
PURPLE = (130, 60, 170)
TEAL = (0, 140, 140)


class Canvas:
    def __init__(self):
        self.px = [[GROUND] * SIZE for _ in range(SIZE)]

    def set(self, x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE and not (x == 0 and y == SIZE - 1):
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def disc(self, cx, cy, r, c, outline=None):
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x - cx, y - cy)
                if d <= r + 0.25:
                    self.set(x, y, outline if outline and d > r - 0.9 else c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def poly(self, points, c):
        """Fills a polygon (even-odd rule at pixel centres)."""
        for y in range(SIZE):
            for x in range(SIZE):
                px, py = x + 0.5, y + 0.5
                inside = False
                n = len(points)
                for i in range(n):
                    (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
                    if (ay > py) != (by > py):
                        if px < ax + (py - ay) * (bx - ax) / (by - ay):
                            inside = not inside
                if inside:
                    self.set(x, y, c)

    def png(self, path):
        raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in self.px)
        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
        data = (b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))
        with open(path, "wb") as f:
            f.write(data)


# ---------------------------------------------------------------- motifs

def person(cv, x, y, shirt, scale=1.0, skin=SKIN, hair=HAIR):
    """A head and shoulders whose head centre is at (x, y)."""
    r = 3 * scale
    body_w = 5 * scale
    top = y + r + 1
    cv.poly([(x - body_w, top + 6 * scale), (x - body_w + 1, top + 1), (x - 2, top),
             (x + 2, top), (x + body_w - 1, top + 1), (x + body_w, top + 6 * scale)], shirt)
    cv.disc(x, y, r, skin)
    def at(v):
        return int(math.floor(v + 0.5))
    for dx in range(-int(r), int(r) + 1):
        cv.set(at(x + dx), at(y - r), hair)
    cv.set(at(x - r), at(y - r + 1), hair)
    cv.set(at(x + r), at(y - r + 1), hair)


def group(cv, back, front):
    person(cv, 13, 5, back, 0.85)
    person(cv, 7.5, 7.5, front)


def monitor(cv, x, y, w=9, h=7, screen=LIGHT_BLUE):
    cv.rect(x, y, x + w - 1, y + h - 1, GREY_DARK)
    cv.rect(x + 1, y + 1, x + w - 2, y + h - 2, screen)
    cv.rect(x + w // 2 - 1, y + h, x + w // 2 + 1, y + h, GREY_DARK)
    cv.rect(x + w // 2 - 3, y + h + 1, x + w // 2 + 3, y + h + 1, GREY)


def globe(cv, cx, cy, r):
    cv.disc(cx, cy, r, BLUE, BLUE_DARK)
    land = [(cx - r * 0.5, cy - r * 0.6), (cx + r * 0.1, cy - r * 0.7), (cx + r * 0.2, cy - r * 0.1),
            (cx - r * 0.2, cy + r * 0.2), (cx - r * 0.6, cy)]
    cv.poly(land, GREEN)
    cv.poly([(cx + r * 0.3, cy + r * 0.1), (cx + r * 0.8, cy + r * 0.2), (cx + r * 0.5, cy + r * 0.7),
             (cx + r * 0.2, cy + r * 0.5)], GREEN)
    for dy in (-r * 0.45, r * 0.45):
        y = int(round(cy + dy))
        for x in range(SIZE):
            if math.hypot(x - cx, y - cy) < r - 0.8:
                cv.set(x, y, LIGHT_BLUE)


def shield(cv, x, y, c=RED):
    cv.poly([(x, y), (x + 6, y), (x + 6, y + 4), (x + 3, y + 7), (x, y + 4)], c)
    cv.line(x + 3, y + 1, x + 3, y + 5, YELLOW)
    cv.line(x + 1, y + 3, x + 5, y + 3, YELLOW)


def check(cv, x, y):
    cv.line(x, y + 3, x + 2, y + 5, GREEN_DARK)
    cv.line(x + 2, y + 5, x + 7, y, GREEN_DARK)
    cv.line(x, y + 2, x + 2, y + 4, GREEN)
    cv.line(x + 2, y + 4, x + 7, y - 1, GREEN)


def small_globe(cv):
    globe(cv, 15.5, 15.5, 3.6)


def small_computer(cv):
    cv.rect(12, 12, 19, 17, GREY_DARK)
    cv.rect(13, 13, 18, 16, LIGHT_BLUE)
    cv.rect(14, 18, 17, 18, GREY_DARK)


def gear(cv, cx, cy, r, c, hole=GROUND):
    for i in range(8):
        a = i * math.pi / 4
        x, y = cx + math.cos(a) * (r + 1.3), cy + math.sin(a) * (r + 1.3)
        cv.disc(x, y, 1.3, c)
    cv.disc(cx, cy, r, c)
    cv.disc(cx, cy, r * 0.4, hole)


def key(cv, x, y, c=YELLOW):
    cv.disc(x + 2, y + 2, 2, c)
    cv.set(x + 2, y + 2, BROWN)
    cv.line(x + 4, y + 2, x + 10, y + 2, c)
    cv.line(x + 8, y + 3, x + 8, y + 4, c)
    cv.line(x + 10, y + 3, x + 10, y + 4, c)


def bolt(cv, x, y):
    cv.poly([(x + 3, y), (x + 7, y), (x + 5, y + 4), (x + 8, y + 4), (x + 2, y + 11), (x + 3.5, y + 6),
             (x + 1, y + 6)], YELLOW)
    cv.line(x + 3, y, x + 1, y + 6, ORANGE)


def document(cv, x, y, c=WHITE):
    cv.rect(x, y, x + 7, y + 9, GREY_DARK)
    cv.rect(x + 1, y + 1, x + 6, y + 8, c)
    for row in (3, 5, 7):
        cv.line(x + 2, y + row, x + 5, y + row, GREY)


IMAGES = {}


def image(name):
    def register(fn):
        IMAGES[name] = fn
        return fn
    return register


@image("SID_USER")
def _(cv):
    person(cv, 9.5, 5, BLUE)


@image("SID_GROUP")
def _(cv):
    group(cv, TEAL, BLUE)


@image("SID_WORLD")
def _(cv):
    globe(cv, 9.5, 9.5, 8.5)


@image("SID_OWNER")
def _(cv):
    person(cv, 7, 5, BROWN)
    key(cv, 8, 13)


@image("SID_DIALUP")
def _(cv):
    # A telephone: handset over a body with a dial.
    cv.poly([(3, 10), (16, 10), (18, 17), (1, 17)], GREY_DARK)
    cv.disc(9.5, 13.5, 2.5, GREY_LIGHT)
    cv.set(9, 13, BLACK)
    cv.rect(2, 5, 17, 7, BLACK)
    cv.rect(1, 6, 4, 9, BLACK)
    cv.rect(15, 6, 18, 9, BLACK)


@image("SID_NETWORK")
def _(cv):
    monitor(cv, 0, 0, 8, 6)
    monitor(cv, 11, 0, 8, 6)
    monitor(cv, 6, 11, 8, 6)
    cv.line(4, 8, 4, 10, BLACK)
    cv.line(15, 8, 15, 10, BLACK)
    cv.line(4, 10, 15, 10, BLACK)


@image("SID_BATCH")
def _(cv):
    document(cv, 1, 1, GREY_LIGHT)
    document(cv, 4, 4, WHITE)
    document(cv, 7, 7, WHITE)
    gear(cv, 15, 15, 2.2, ORANGE, WHITE)


@image("SID_INTERACTIVE")
def _(cv):
    monitor(cv, 9, 1, 10, 8)
    person(cv, 5, 7, GREEN)
    cv.rect(9, 16, 18, 17, GREY_DARK)


@image("SID_SERVICE")
def _(cv):
    gear(cv, 9.5, 9.5, 5.5, GREY_DARK)
    gear(cv, 9.5, 9.5, 4.3, GREY)
    cv.disc(9.5, 9.5, 2, GROUND)


@image("SID_ANONYMOUS")
def _(cv):
    person(cv, 8, 5, GREY_DARK, skin=GREY, hair=GREY_DARK)
    # a question mark
    for x, y in [(14, 3), (15, 2), (16, 2), (17, 3), (17, 4), (16, 5), (15, 6), (15, 7), (15, 9)]:
        cv.set(x, y, RED)


@image("SID_BUILTIN")
def _(cv):
    # A building with columns: the built-in domain.
    cv.poly([(1, 6), (9.5, 1), (18, 6)], RED_DARK)
    cv.rect(2, 6, 17, 7, GREY_DARK)
    for x in (3, 7, 11, 15):
        cv.rect(x, 8, x + 1, 15, GREY_LIGHT)
    cv.rect(1, 16, 18, 18, GREY_DARK)


@image("SID_AUTHENTICATED")
def _(cv):
    person(cv, 7, 5, BLUE)
    check(cv, 11, 12)


@image("SID_SYSTEM")
def _(cv):
    monitor(cv, 1, 1, 12, 10, BLUE_DARK)
    cv.rect(14, 2, 18, 16, GREY_DARK)
    cv.rect(15, 4, 17, 4, GREEN)
    gear(cv, 7, 6, 1.6, YELLOW, BLUE_DARK)


@image("SID_ADMIN")
def _(cv):
    person(cv, 8, 5, RED)
    shield(cv, 12, 11, YELLOW)
    cv.line(15, 12, 15, 16, RED)
    cv.line(13, 14, 17, 14, RED)


@image("SID_GUEST")
def _(cv):
    person(cv, 9.5, 5, GREY_LIGHT)
    cv.rect(6, 2, 13, 2, BROWN)   # a hat
    cv.rect(7, 0, 12, 1, BROWN)


def group_in(cv, colour_back, colour_front, mark):
    group(cv, colour_back, colour_front)
    mark(cv)


@image("SID_DOMAIN_ADMINS")
def _(cv):
    group_in(cv, RED_DARK, RED, small_globe)


@image("SID_DOMAIN_USERS")
def _(cv):
    group_in(cv, TEAL, BLUE, small_globe)


@image("SID_DOMAIN_GUESTS")
def _(cv):
    group_in(cv, GREY, GREY_LIGHT, small_globe)


@image("SID_ADMINS")
def _(cv):
    group_in(cv, RED_DARK, RED, small_computer)


@image("SID_USERS")
def _(cv):
    group_in(cv, TEAL, BLUE, small_computer)


@image("SID_GUESTS")
def _(cv):
    group_in(cv, GREY, GREY_LIGHT, small_computer)


@image("SID_POWER_USERS")
def _(cv):
    group(cv, TEAL, PURPLE)
    bolt(cv, 11, 7)


@image("SID_BACKUP")
def _(cv):
    # A tape cartridge and an arrow into it.
    cv.rect(1, 8, 18, 17, BLACK)
    cv.rect(2, 9, 17, 14, GREY_DARK)
    cv.disc(6, 11.5, 1.6, WHITE)
    cv.disc(13, 11.5, 1.6, WHITE)
    cv.rect(5, 15, 14, 16, GREY)
    cv.rect(8, 0, 11, 3, GREEN)
    cv.poly([(5, 4), (15, 4), (10, 8)], GREEN)


@image("SID_REPLICATOR")
def _(cv):
    document(cv, 0, 0)
    document(cv, 12, 9)
    cv.line(9, 3, 14, 3, BLUE)
    cv.line(14, 3, 14, 7, BLUE)
    cv.poly([(12, 6), (17, 6), (14.5, 9)], BLUE)
    cv.line(4, 11, 4, 15, RED)
    cv.line(4, 15, 10, 15, RED)
    cv.poly([(1, 12), (4, 9), (7, 12)], RED)


@image("SID_SOURCE_COMPUTER")
def _(cv):
    monitor(cv, 1, 1, 14, 11)
    cv.rect(15, 3, 18, 17, GREY_DARK)
    cv.rect(16, 5, 17, 5, GREEN)
    cv.rect(2, 16, 13, 17, GREY_DARK)


@image("SID_SOURCE_DOMAIN")
def _(cv):
    globe(cv, 9.5, 8.5, 7.5)
    monitor(cv, 11, 10, 8, 6)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(os.path.dirname(here), "pickers")
    os.makedirs(out, exist_ok=True)
    for name, draw in IMAGES.items():
        cv = Canvas()
        draw(cv)
        cv.png(os.path.join(out, name + ".png"))
    print(f"{len(IMAGES)} images written to {out}")


if __name__ == "__main__":
    main()
