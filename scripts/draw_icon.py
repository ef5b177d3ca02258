"""Draws the program icon, a keyboard in the 16-colour VGA palette, at 48 x 48 and 32 x 32.
Run from anywhere with `python3 scripts/draw_icon.py`; it writes resources/program.ico."""
import struct
from pathlib import Path

PALETTE = [(0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
           (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
           (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
           (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF)]
BLACK, DARK_RED, SILVER, GREY, RED, WHITE = 0, 1, 7, 8, 9, 15
CLEAR = None  # transparent pixel

# Each size has its own pixel grid: the body box (outline included, inclusive corners), key height,
# y of the first key row, row pitch, x of the first key, key widths per row (1-pixel gaps between keys),
# and the (row, key) of the red accent key right of the space bar.
LAYOUTS = {
    48: dict(body=(1, 9, 46, 38), key_h=5, top=12, pitch=6, left=4,
             rows=[[4, 4, 4, 4, 4, 4, 4, 5],
                   [5, 4, 4, 4, 4, 4, 4, 4],
                   [7, 4, 4, 4, 4, 4, 7],
                   [5, 4, 19, 4, 4]],
             accent=(3, 3)),
    32: dict(body=(2, 7, 29, 25), key_h=3, top=9, pitch=4, left=4,
             rows=[[3, 3, 3, 3, 3, 4],
                   [4, 3, 3, 3, 3, 3],
                   [6, 3, 3, 3, 5],
                   [3, 3, 8, 3, 3]],
             accent=(3, 3)),
}


def fill(grid, x0, y0, x1, y1, colour):
    """Fills the rectangle with inclusive corners (x0, y0) and (x1, y1) with a palette index."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            grid[y][x] = colour


def draw_keyboard(size):
    """Returns a size x size grid (rows top-down) of palette indexes or CLEAR."""
    lay = LAYOUTS[size]
    grid = [[CLEAR] * size for _ in range(size)]
    x0, y0, x1, y1 = lay['body']
    fill(grid, x0, y0, x1, y1, BLACK)
    fill(grid, x0 + 1, y0 + 1, x1 - 1, y1 - 1, SILVER)
    fill(grid, x0 + 1, y1 - 1, x1 - 1, y1 - 1, GREY)  # shaded front edge
    for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):  # rounded corners
        grid[y][x] = CLEAR
    for r, widths in enumerate(lay['rows']):
        y = lay['top'] + r * lay['pitch']
        x = lay['left']
        for k, w in enumerate(widths):
            face, edge = (RED, DARK_RED) if (r, k) == lay['accent'] else (WHITE, GREY)
            fill(grid, x, y, x + w - 1, y + lay['key_h'] - 1, edge)
            fill(grid, x, y, x + w - 2, y + lay['key_h'] - 2, face)
            x += w + 1
        assert x - 2 <= x1 - 2, f'key row {r} of the {size}-pixel icon runs into the outline'
    return grid


def encode_image(grid):
    """Encodes a grid as an icon image: BITMAPINFOHEADER, palette, 4-bit XOR bitmap, 1-bit AND mask."""
    h, w = len(grid), len(grid[0])
    xor_stride = (w * 4 + 31) // 32 * 4
    and_stride = (w + 31) // 32 * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(grid):  # both bitmaps are stored bottom-up
        nibbles = [0 if p is CLEAR else p for p in row] + [0]
        line = bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, w, 2))
        xor += line.ljust(xor_stride, b'\0')
        bits = 0
        for p in row:
            bits = bits << 1 | (p is CLEAR)
        line = (bits << (-w % 8)).to_bytes((w + 7) // 8, 'big')
        mask += line.ljust(and_stride, b'\0')
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 4, 0, len(xor) + len(mask), 0, 0, 0, 0)
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def write_ico(path, sizes):
    """Writes an ICO file holding one 16-colour image per size, in the given order."""
    images = [encode_image(draw_keyboard(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = len(out) + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(out + b''.join(images))


if __name__ == '__main__':
    write_ico(Path(__file__).resolve().parent.parent / 'resources' / 'program.ico', [48, 32])
