"""Screenshots as pixels: a PNG taken with ImageMagick's import, read back
through ImageMagick as raw RGB, with the few questions the window tests ask
of it (a pixel, a column, where a colour is)."""
import subprocess
from pathlib import Path


class Screen:
    def __init__(self, png):
        png = str(Path(png))
        size = subprocess.run(["identify", "-format", "%w %h", png], capture_output=True, text=True, check=True)
        self.width, self.height = map(int, size.stdout.split())
        self.rgb = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
        assert len(self.rgb) == self.width * self.height * 3

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def column(self, x, top=0, bottom=None):
        return [self.pixel(x, y) for y in range(top, self.height if bottom is None else bottom)]

    def bounds(self, color, box, tolerance=0):
        """(left, top, right, bottom) of the pixels within tolerance of color
        inside box (left, top, right, bottom, exclusive), or None."""
        found = None
        for y in range(box[1], box[3]):
            row = (y * self.width) * 3
            for x in range(box[0], box[2]):
                i = row + x * 3
                if all(abs(self.rgb[i + k] - color[k]) <= tolerance for k in range(3)):
                    if found is None:
                        found = [x, y, x, y]
                    else:
                        found = [min(found[0], x), min(found[1], y), max(found[2], x), max(found[3], y)]
        return tuple(found) if found else None


def rgb_of(hex_text):
    """'#RRGGBB' -> (r, g, b)."""
    return tuple(int(hex_text[i:i + 2], 16) for i in (1, 3, 5))


def close(a, b, tolerance):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))
