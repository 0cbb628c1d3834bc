"""The setup window under Wine, from screenshots: installers of a one-file
manifest with the [window] section under test are run until the welcome
question, which is refused, and the screen is read behind it. Every
expectation is computed here from the manifest's values alone: corner and
middle colours, the gradient's ends, the fallback's bands (each one's
height, their number and their colours), the stretched bitmap's quadrants,
where the title's colour is found and how tall its letters are."""
import struct
import subprocess

import pytest

from kovatest import kova_path, stub_path
from screen import Screen, close, rgb_of

WINE_WHITE = (255, 255, 255)   # COLOR_WINDOW of a fresh Wine prefix
NO_MSIMG32 = {"WINEDLLOVERRIDES": "mscoree,mshtml=;msimg32=d"}


def build_installer(tmp_path, window="", title="Kova Window Test", extra_files=(), flags=""):
    sources = tmp_path / "sources"
    sources.mkdir(parents=True, exist_ok=True)
    (sources / "a.txt").write_text("a")
    for name, data in extra_files:
        (sources / name).write_bytes(data)
    title_line = f'0 = "{title}"' if title is not None else ""
    (sources / "kova.toml").write_text(f"""
[product]
name = "Window Test"
publisher = "Kova Tests"
install-dir = "C:\\\\KOVAE2E\\\\window"
flags = [{flags}]

{window}

[messages]
{title_line}

[[file]]
source = "a.txt"
""")
    setup = tmp_path / "setup.exe"
    subprocess.run([str(kova_path()), "build", str(sources / "kova.toml"), "-o", str(setup), "--stub",
                    str(stub_path()), "-q"], check=True)
    return setup


def screen_behind_welcome(wine, setup, tmp_path, env=None):
    """The screen while the welcome question shows (then refused), and the
    question's rectangle."""
    png = tmp_path / "screen.png"
    run = wine.run(setup, answer="No", screenshot=png, env=env)
    assert [b.caption for b in run.boxes] == ["Kovabuild v8.2"], run.log
    return Screen(png), run.boxes[0].rect


def outside(rect, points, title_rows=60):
    left, top, right, bottom = rect
    return [(x, y) for x, y in points
            if y >= title_rows and not (left - 2 <= x <= right + 2 and top - 2 <= y <= bottom + 2)]


def spread_points(screen):
    w, h = screen.width, screen.height
    return [(x, y) for x in (0, w // 4, w // 2, 3 * w // 4, w - 1) for y in (h // 8, h // 2, h - 1)]


@pytest.mark.parametrize("window, expected", [
    ("", WINE_WHITE),                                                     # no colours: the system window colour
    ('[window]\ntop-color = "#336699"', rgb_of("#336699")),              # one colour fills the window
    ('[window]\ntop-color = "#804020"\nbottom-color = "#804020"', rgb_of("#804020")),
], ids=["system-colour", "top-colour-only", "equal-colours"])
def test_one_colour_fills_the_whole_screen(wine, tmp_path, window, expected):
    screen, box = screen_behind_welcome(wine, build_installer(tmp_path, window), tmp_path)
    for x, y in outside(box, spread_points(screen)) + [(screen.width - 1, 0), (screen.width - 1, 40)]:
        assert screen.pixel(x, y) == expected, (x, y)


def test_no_setup_window_leaves_the_screen_as_it_was(wine, tmp_path):
    """With the option word's no-setup-window bit the welcome question stands
    alone on the bare (black) screen of Xvfb."""
    setup = build_installer(tmp_path, '[window]\ntop-color = "#336699"', flags='"no-setup-window"')
    screen, box = screen_behind_welcome(wine, setup, tmp_path)
    for x, y in outside(box, spread_points(screen), title_rows=0):
        assert screen.pixel(x, y) == (0, 0, 0), (x, y)


GRADIENT = '[window]\ntitle-color = "#FFFF00"\ntop-color = "#2040C0"\nbottom-color = "#000000"'


def test_gradient_through_msimg32_runs_from_top_to_bottom_colour(wine, tmp_path):
    screen, _ = screen_behind_welcome(wine, build_installer(tmp_path, GRADIENT), tmp_path)
    column = screen.column(screen.width - 8)
    top, bottom = rgb_of("#2040C0"), (0, 0, 0)
    assert close(column[0], top, 2) and close(column[-1], bottom, 2), (column[0], column[-1])
    middle = tuple((a + b) // 2 for a, b in zip(top, bottom))
    assert close(column[len(column) // 2], middle, 3), column[len(column) // 2]
    # Not the fallback's bands: GradientFill was found and used.
    _, bands = expected_bands(top, bottom, screen.height)
    assert [column[y] for y, _ in bands] != [color for _, color in bands]
    # Smooth: each channel falls step by step, never rises.
    for upper, lower in zip(column, column[1:]):
        assert all(l <= u for u, l in zip(upper, lower))
        assert all(u - l <= 2 for u, l in zip(upper, lower))


def expected_bands(top, bottom, client_height):
    """The fallback's bands for a client rectangle 0 .. client_height, worked
    out from the rules alone: band height, steps, and the three steppers."""
    height = client_height + 1
    band = min(max(height // 224, 1), 3)
    steps = height // band
    running = list(top)
    differences = [t - b for t, b in zip(top, bottom)]
    quotients = [int(d / steps) for d in differences]
    remainders = [abs(d) % steps for d in differences]
    sums = [0, 0, 0]
    bands = []
    for y in range(0, client_height, band):
        for c in range(3):
            step = quotients[c]
            sums[c] += remainders[c]
            if sums[c] >= steps:
                sums[c] -= steps
                step += 1 if differences[c] >= 0 else -1
            running[c] -= step
        bands.append((y, tuple(min(max(v, 0), 255) for v in running)))
    return band, bands


def runs_of(column):
    """(first row, length, colour) of each run of one colour."""
    runs = []
    for y, color in enumerate(column):
        if runs and runs[-1][2] == color:
            runs[-1][1] += 1
        else:
            runs.append([y, 1, color])
    return [tuple(r) for r in runs]


def test_without_msimg32_the_gradient_is_painted_in_bands(wine, tmp_path):
    screen, _ = screen_behind_welcome(wine, build_installer(tmp_path, GRADIENT), tmp_path, env=NO_MSIMG32)
    band, bands = expected_bands(rgb_of("#2040C0"), (0, 0, 0), screen.height)
    assert band == 3 and len(bands) == 256   # a 768-row screen
    column = screen.column(screen.width - 8)
    painted = [column[y] for y, _ in bands]
    assert painted == [color for _, color in bands]
    # Bands of one colour each, 3 rows tall; neighbours of the same colour
    # merge into one run, so the runs are whole multiples of the band.
    for first, length, _ in runs_of(column):
        assert first % band == 0 and (length % band == 0 or first + length == screen.height), (first, length)
    assert column[0] == bands[0][1] and column[-1] == (0, 0, 0)


def bitmap_file(rows):
    """A 24-bit .BMP of the rows (top row first), as a paint program saves it."""
    width, height = len(rows[0]), len(rows)
    stride = (width * 3 + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows):   # stored bottom-up
        line = b"".join(bytes((b, g, r)) for r, g, b in row)
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + header + pixels


def test_background_bitmap_is_stretched_over_the_screen(wine, tmp_path):
    blue, white, red, green = (0, 0, 255), (255, 255, 255), (255, 0, 0), (0, 255, 0)
    bmp = bitmap_file([[blue, white], [red, green]])
    window = '[window]\ntitle-color = "#FFFF00"\ntop-color = "#2040C0"\nbottom-color = "#000000"\n' \
             'background = "background.bmp"'
    setup = build_installer(tmp_path, window, extra_files=[("background.bmp", bmp)])
    screen, box = screen_behind_welcome(wine, setup, tmp_path)
    w, h = screen.width, screen.height
    quadrants = {blue: (w // 8, h // 4), white: (7 * w // 8, h // 8), red: (w // 8, 7 * h // 8),
                 green: (7 * w // 8, 7 * h // 8)}
    for color, (x, y) in quadrants.items():
        assert screen.pixel(x, y) == color, (x, y)
    assert screen.bounds((255, 255, 0), (0, 0, w // 2, 60)) is not None, "no title in the title colour"


TITLE_COLOR = (255, 255, 0)
NAVY = '[window]\ntitle-color = "#FFFF00"\ntop-color = "#000040"'


def title_bounds(wine, tmp_path, title):
    screen, _ = screen_behind_welcome(wine, build_installer(tmp_path, NAVY, title=title), tmp_path)
    bounds = screen.bounds(TITLE_COLOR, (0, 0, screen.width, 80), tolerance=40)
    assert bounds is not None, f"no title in the title colour: {title!r}"
    # Nothing of the title colour below the title's rows.
    assert screen.bounds(TITLE_COLOR, (0, 80, screen.width, 300), tolerance=40) is None
    return screen, bounds


def test_title_shrinks_until_it_fits_and_is_clipped_at_six_points(wine, tmp_path):
    phrase = "Kovabuild Title Kg "
    screen, short = title_bounds(wine, tmp_path / "short", phrase.strip())
    _, fitting = title_bounds(wine, tmp_path / "fitting", (phrase * 4).strip())
    _, clipped = title_bounds(wine, tmp_path / "clipped", (phrase * 40).strip())
    height = lambda b: b[3] - b[1] + 1
    # 26 points: the short title starts at the left edge, well short of the right one.
    assert short[0] <= 6 and short[2] < screen.width // 2
    # The longer one is set smaller, and fits.
    assert height(fitting) < height(short)
    assert 3 * screen.width // 4 < fitting[2] < screen.width - 1
    # At 6 points the title is drawn anyway, cut at the screen's edge.
    assert clipped[2] >= screen.width - 8
    assert height(clipped) <= 12 < height(fitting)
