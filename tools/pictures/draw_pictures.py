#!/usr/bin/python3
"""Draws the splash window's banner and side panel, the wizard's side picture and the
programs' window icon from code.

    draw_pictures.py <repository root>

Needs Debian's python3-pil and fonts-liberation. The outputs are committed; the build only
reads them: setup/res/banner.bmp, setup/res/side_panel.bmp (24-bit),
tourlet/res/side_picture.bmp (8-bit, palette), common/res/varnok.ico.
"""

import struct
import sys
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

FONTS = Path("/usr/share/fonts/truetype/liberation")
SERIF_BOLD = FONTS / "LiberationSerif-Bold.ttf"
SANS = FONTS / "LiberationSans-Regular.ttf"

BLACK, WHITE, RED, YELLOW = (0, 0, 0), (255, 255, 255), (255, 0, 0), (255, 255, 0)


def ink_box(text, font):
    """The box of the pixels `text` inks, relative to where it is drawn."""
    probe = Image.new("L", (2000, 400), 0)
    ImageDraw.Draw(probe).text((100, 100), text, font=font, fill=255)
    left, top, right, bottom = probe.getbbox()
    return left - 100, top - 100, right - 100, bottom - 100


def largest_font(path, text, width, height):
    """The largest size at which `text` inks no more than width x height pixels."""
    size = 4
    while True:
        left, top, right, bottom = ink_box(text, ImageFont.truetype(str(path), size + 1))
        if right - left > width or bottom - top > height:
            return ImageFont.truetype(str(path), size)
        size += 1


def draw_text(image, text, font, colour, left=None, top=None, centre=None):
    """Draws `text` so that its ink starts at column `left` (or centres on `centre`) and row
    `top`; anti-aliased against whatever lies beneath."""
    ink_left, ink_top, ink_right, _ = ink_box(text, font)
    if centre is not None:
        left = centre - (ink_right - ink_left) // 2
    ImageDraw.Draw(image).text((left - ink_left, top - ink_top), text, font=font, fill=colour)


def fit_text(image, text, box, colour, font_path=SERIF_BOLD):
    """The largest lettering that fits `box` (left, top, right, bottom; inclusive), set at its
    left edge and bottom row."""
    left, top, right, bottom = box
    font = largest_font(font_path, text, right - left + 1, bottom - top + 1)
    _, ink_top, _, ink_bottom = ink_box(text, font)
    draw_text(image, text, font, colour, left=left, top=bottom + 1 - (ink_bottom - ink_top))
    return font


def banner():
    image = Image.new("RGB", (634, 51), RED)
    draw = ImageDraw.Draw(image)
    draw.line([(0, 0), (633, 0)], fill=BLACK)
    draw.line([(1, 50), (33, 50)], fill=YELLOW)
    draw.line([(34, 50), (632, 50)], fill=WHITE)
    draw.line([(0, 0), (0, 50)], fill=BLACK)
    draw.line([(633, 0), (633, 50)], fill=BLACK)
    fit_text(image, "Pelmor", (42, 17, 137, 39), WHITE)
    return image


def small_print(image, lines, top, bottom, font):
    """Lines centred on column 143, spread evenly over rows top to bottom."""
    pitch = (bottom - top + 1) / len(lines)
    for i, line in enumerate(lines):
        _, ink_top, _, ink_bottom = ink_box(line, font)
        slot_top = top + round(i * pitch)
        slot_height = round((i + 1) * pitch) - round(i * pitch)
        row = slot_top + (slot_height - (ink_bottom - ink_top)) // 2
        draw_text(image, line, font, BLACK, centre=143, top=row)


def side_panel():
    image = Image.new("RGB", (251, 414), WHITE)
    draw = ImageDraw.Draw(image)
    draw.rectangle([(1, 0), (33, 412)], fill=YELLOW)
    draw.line([(0, 0), (0, 413)], fill=BLACK)
    draw.line([(0, 413), (250, 413)], fill=BLACK)

    fit_text(image, "Pelmor's", (58, 39, 196, 67), BLACK)
    # The product name and a raised trademark sign a third of its height, side by side.
    name_font = largest_font(SERIF_BOLD, "VARNOK", 160, 29)
    name_left, name_top, name_right, name_bottom = ink_box("VARNOK", name_font)
    draw_text(image, "VARNOK", name_font, BLACK, left=57, top=114 + 1 - (name_bottom - name_top))
    mark_font = largest_font(SANS, "TM", 231 - (57 + name_right - name_left + 2) + 1, 10)
    draw_text(image, "TM", mark_font, BLACK, left=57 + name_right - name_left + 2, top=86)

    print_font = ImageFont.truetype(str(SANS), 10)
    small_print(image, ["VARNOK is a trademark of Pelmor",
                        "Systems, Inc. Pelmor is a registered",
                        "trademark of Pelmor Systems, Inc."], 297, 339, print_font)
    small_print(image, ["Copyright \u00a9 2000 Pelmor Systems, Inc.",
                        "All rights reserved."], 352, 379, print_font)
    # The further notice, which the window's patch covers, within columns 75 to 183.
    last = "U.S. patents pending."
    _, ink_top, _, ink_bottom = ink_box(last, print_font)
    draw_text(image, last, print_font, BLACK, left=75, top=400 + 1 - (ink_bottom - ink_top))
    return image


# The standard 16-colour palette, in the order Windows icons use it.
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
K, DGREY, LGREY, RD, GRN, BLU, DBLU, WH = 0, 8, 7, 9, 10, 12, 4, 15

# A desktop computer (monitor on a system unit) with a software carton in front at the left.
ICON_SHAPES = [
    ("rect", (9, 2, 30, 18), DGREY),    # monitor casing outline
    ("rect", (10, 3, 29, 17), LGREY),   # monitor casing
    ("rect", (12, 5, 27, 15), K),       # screen bezel
    ("rect", (13, 6, 26, 14), BLU),     # blue screen
    ("rect", (16, 19, 23, 20), DGREY),  # stand
    ("rect", (8, 21, 31, 28), DGREY),   # system unit outline
    ("rect", (9, 22, 30, 27), LGREY),   # system unit
    ("rect", (20, 24, 27, 24), DGREY),  # drive slot
    ("rect", (28, 26, 29, 26), GRN),    # power light
    ("rect", (1, 13, 13, 30), K),       # carton outline
    ("rect", (2, 14, 12, 29), WH),      # carton front
    ("rect", (2, 17, 12, 20), BLU),     # blue band
    ("rect", (2, 23, 12, 24), RD),      # red band
    ("rect", (4, 26, 8, 27), DBLU),     # label
]


def icon_pixels():
    pixels = [[WH] * 32 for _ in range(32)]
    for _, (left, top, right, bottom), colour in ICON_SHAPES:
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                pixels[y][x] = colour
    return pixels


def icon_file(pixels):
    """One 32 x 32 image, 4 bits per pixel, opaque mask: 766 bytes."""
    xor = b"".join(bytes(pixels[y][x] << 4 | pixels[y][x + 1] for x in range(0, 32, 2))
                   for y in reversed(range(32)))
    mask = bytes(4 * 32)
    header = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4,
                                                           len(image), 6 + 16)
    return directory + image


TEAL, MAROON = 6, 1

# On teal: an emblem of four white quarter discs parted by a black cross in the upper third,
# and a desktop computer (monitor, system unit, keyboard) in the lower half. Drawn in order.
SIDE_SHAPES = [
    ("disc", (30, 12, 90, 72), WH),     # the emblem's disc
    ("rect", (29, 40, 91, 44), K),      # the cross, across
    ("rect", (58, 11, 62, 73), K),      # the cross, down
    ("rect", (24, 128, 96, 188), K),    # monitor outline
    ("rect", (25, 129, 95, 187), LGREY),
    ("rect", (31, 135, 89, 177), K),    # screen bezel
    ("rect", (32, 136, 88, 176), DGREY),
    ("rect", (36, 140, 50, 141), WH),   # a glint on the screen
    ("rect", (36, 142, 37, 150), WH),
    ("rect", (84, 181, 88, 183), DGREY),  # monitor buttons
    ("rect", (52, 189, 68, 195), K),    # stand
    ("rect", (53, 189, 67, 194), DGREY),
    ("rect", (14, 196, 106, 220), K),   # system unit outline
    ("rect", (15, 197, 105, 219), WH),
    ("rect", (70, 202, 98, 203), K),    # drive slots
    ("rect", (70, 208, 98, 209), DGREY),
    ("rect", (22, 212, 24, 214), RD),   # power light
    ("rect", (30, 212, 42, 213), MAROON),  # maker's badge
    ("rect", (8, 226, 112, 240), K),    # keyboard outline
    ("rect", (9, 227, 111, 239), LGREY),
    *[("rect", (x, y, x + 1, y + 1), DGREY) for y in (229, 232) for x in range(12, 108, 4)],
    ("rect", (40, 236, 80, 237), DGREY),  # space bar
]


def side_picture_file():
    """120 x 246, 8 bits per pixel, 256-entry palette, bottom-up, uncompressed: 30598 bytes."""
    width, height = 120, 246
    image = Image.new("P", (width, height), TEAL)
    draw = ImageDraw.Draw(image)
    for kind, box, colour in SIDE_SHAPES:
        (draw.ellipse if kind == "disc" else draw.rectangle)(box, fill=colour)
    pixels = image.tobytes()
    rows = b"".join(pixels[y * width:(y + 1) * width] for y in reversed(range(height)))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE) + bytes(4 * (256 - 16))
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(rows), 3937, 3937, 256, 0)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + palette + rows


def main():
    root = Path(sys.argv[1])
    for folder in ("setup/res", "common/res", "tourlet/res"):
        (root / folder).mkdir(parents=True, exist_ok=True)
    banner().save(root / "setup" / "res" / "banner.bmp")
    side_panel().save(root / "setup" / "res" / "side_panel.bmp")
    (root / "tourlet" / "res" / "side_picture.bmp").write_bytes(side_picture_file())
    (root / "common" / "res" / "varnok.ico").write_bytes(icon_file(icon_pixels()))


if __name__ == "__main__":
    main()
