#!/usr/bin/python3
"""Draws the installer's images into resources/: the window background
(JPEG), the logo and the error badge (PNG with alpha), and the icon. Needs python3-pil and
the DejaVu fonts (Debian: python3-pil, fonts-dejavu-core).

Shapes are drawn at four times their size and scaled down, which smooths
their edges."""
import io
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

RED = (255, 27, 44)
DARK = (40, 40, 48)
SCALE = 4
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def downscale(image, size):
    return image.resize(size, Image.LANCZOS)


def draw_mark(draw, box):
    """The product mark: a red rounded square holding a white "V"."""
    x0, y0, x1, y1 = box
    size = x1 - x0
    draw.rounded_rectangle(box, radius=size // 4, fill=RED + (255,))
    stroke = size // 8
    left = (x0 + size * 0.26, y0 + size * 0.27)
    bottom = (x0 + size * 0.5, y0 + size * 0.75)
    right = (x0 + size * 0.74, y0 + size * 0.27)
    draw.line([left, bottom, right], fill=(255, 255, 255, 255), width=stroke,
              joint="curve")
    for point in (left, right, bottom):
        r = stroke / 2
        draw.ellipse([point[0] - r, point[1] - r, point[0] + r, point[1] + r],
                     fill=(255, 255, 255, 255))


# Transparent room at either side of the logo's drawing: the window sets the
# error badge over the picture's bottom right corner, where it must stand
# clear of the last letter; the same room at the left keeps the drawing
# centred.
LOGO_SIDE_ROOM = 24


def make_logo(path):
    width, height = 300, 96
    image = Image.new("RGBA", (width * SCALE, height * SCALE), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    mark = 76 * SCALE
    top = (height * SCALE - mark) // 2
    draw_mark(draw, (8 * SCALE, top, 8 * SCALE + mark, top + mark))
    font = ImageFont.truetype(FONT, 64 * SCALE)
    text_box = draw.textbbox((0, 0), "Velto", font=font)
    text_height = text_box[3] - text_box[1]
    draw.text((100 * SCALE, (height * SCALE - text_height) // 2 - text_box[1]),
              "Velto", font=font, fill=DARK + (255,))
    drawing = downscale(image, (width, height))
    left, _, right, _ = drawing.getchannel("A").getbbox()
    logo = Image.new("RGBA", (right - left + 2 * LOGO_SIDE_ROOM, height), (0, 0, 0, 0))
    logo.paste(drawing.crop((left, 0, right, height)), (LOGO_SIDE_ROOM, 0))
    logo.save(path, optimize=True)


def make_badge(path):
    size = 40
    image = Image.new("RGBA", (size * SCALE, size * SCALE), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    s = size * SCALE
    draw.ellipse([0, 0, s - 1, s - 1], fill=(255, 255, 255, 255))
    inset = 3 * SCALE
    draw.ellipse([inset, inset, s - 1 - inset, s - 1 - inset], fill=(210, 24, 36, 255))
    bar = 4 * SCALE
    draw.rounded_rectangle([s / 2 - bar / 2, 9 * SCALE, s / 2 + bar / 2, 24 * SCALE],
                           radius=bar / 2, fill=(255, 255, 255, 255))
    draw.ellipse([s / 2 - bar / 2 - 2, 27 * SCALE, s / 2 + bar / 2 + 2, 31 * SCALE + 2],
                 fill=(255, 255, 255, 255))
    downscale(image, (size, size)).save(path, optimize=True)


def icon_dib(image):
    """An icon image as Windows reads it everywhere: a 32-bit DIB of twice the
    height (colour rows bottom-up, then the 1-bit mask)."""
    width, height = image.size
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = image.load()
    colour = bytearray()
    for y in reversed(range(height)):
        for x in range(width):
            r, g, b, a = pixels[x, y]
            colour += bytes((b, g, r, a))
    mask_row = ((width + 31) // 32) * 4
    return header + bytes(colour) + bytes(mask_row * height)


def make_icon(path):
    """The product mark alone, in the sizes Windows picks from: small sizes as
    DIBs, the largest as PNG (as Windows stores it)."""
    big = Image.new("RGBA", (256 * SCALE, 256 * SCALE), (0, 0, 0, 0))
    draw_mark(ImageDraw.Draw(big), (0, 0, 256 * SCALE - 1, 256 * SCALE - 1))
    entries = []
    for size in (16, 24, 32, 48, 64):
        entries.append((size, icon_dib(downscale(big, (size, size)))))
    png = io.BytesIO()
    downscale(big, (256, 256)).save(png, format="PNG", optimize=True)
    entries.append((256, png.getvalue()))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in entries))


def make_background(path):
    """Plain white where the texts are (the rich-text controls paint white
    behind themselves), with a pale grey strip and two soft red waves along
    the bottom edge behind the buttons."""
    width, height = 720, 500
    strip = height * 0.88
    image = Image.new("RGB", (width, height), (255, 255, 255))
    draw = ImageDraw.Draw(image)
    for y in range(int(strip), height):
        t = (y - strip) / (height - strip)
        shade = int(255 - 10 * t)
        draw.line([(0, y), (width, y)], fill=(shade, shade, min(255, shade + 2)))
    waves = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    wave_draw = ImageDraw.Draw(waves)
    wave_draw.ellipse([-200, height - 34, width * 0.8, height + 260],
                      fill=RED + (30,))
    wave_draw.ellipse([width * 0.35, height - 52, width + 260, height + 220],
                      fill=RED + (20,))
    waves = waves.filter(ImageFilter.GaussianBlur(5))
    # Nothing of the waves may reach above the strip.
    mask = Image.new("L", (width, height), 0)
    ImageDraw.Draw(mask).rectangle([0, int(strip), width, height], fill=255)
    waves.putalpha(Image.composite(waves.getchannel("A"), mask, mask))
    image = Image.alpha_composite(image.convert("RGBA"), waves).convert("RGB")
    image.save(path, quality=90, optimize=True)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    make_background(os.path.join(out, "background.jpg"))
    make_logo(os.path.join(out, "logo.png"))
    make_badge(os.path.join(out, "error_badge.png"))
    make_icon(os.path.join(out, "velto.ico"))


if __name__ == "__main__":
    main()
