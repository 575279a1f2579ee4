"""Reads terminal cells back from a screenshot (a PIL RGB image), the one reader of the
terminal matrix: finds the cell grid from a drawn checkerboard, then reads a cell's colour
at its centre or its halves, its mean colour, and the seams a half block leaves."""

from PIL import Image, ImageChops, ImageStat


class GridNotFound(Exception):
    pass


class Grid:
    """Terminal cell (column, row) covers pixels x0 + column * width ... and likewise down."""

    def __init__(self, x0, y0, width, height):
        self.x0, self.y0, self.width, self.height = x0, y0, width, height

    def box(self, column, row):
        left = self.x0 + column * self.width
        top = self.y0 + row * self.height
        return (left, top, left + self.width, top + self.height)

    def __repr__(self):
        return f"Grid({self.x0}, {self.y0}, {self.width}, {self.height})"


# A checkerboard cell is reddish or bluish by this many levels; backgrounds and margins,
# grey in every theme, are neither.
HUE_MARGIN = 24


def _hue_masks(image):
    red, _, blue = image.split()
    level = lambda v: 255 if v > HUE_MARGIN else 0
    return (ImageChops.subtract(red, blue).point(level),
            ImageChops.subtract(blue, red).point(level))


def find_grid(image, columns, rows):
    """The grid of a checkerboard of columns x rows cells drawn from the top-left, bluish
    where column + row is even and reddish where odd (any theme's bright blue and red).
    Raises GridNotFound when the picture holds no such board."""
    reddish, bluish = _hue_masks(image)
    box = ImageChops.lighter(reddish, bluish).getbbox()
    if box is None:
        raise GridNotFound("no checkerboard on the screen")
    left, top, right, bottom = box
    width, height = (right - left) / columns, (bottom - top) / rows
    grid = Grid(left, top, round(width), round(height))
    if grid.width < 2 or grid.height < 2 or abs(width - grid.width) > 0.01 \
            or abs(height - grid.height) > 0.01:
        raise GridNotFound(f"the board spans {right - left} x {bottom - top} pixels, "
                           f"not whole cells of {columns} x {rows}")
    red_pixels, blue_pixels = reddish.load(), bluish.load()
    for row in range(rows):
        for column in range(columns):
            l, t, r, b = grid.box(column, row)
            want_red = (column + row) % 2 == 1
            corners_and_centre = ((l, t), (r - 1, t), (l, b - 1), (r - 1, b - 1),
                                  ((l + r) // 2, (t + b) // 2))
            for x, y in corners_and_centre:
                if (red_pixels if want_red else blue_pixels)[x, y] == 0:
                    raise GridNotFound(f"cell ({column}, {row}) of {grid} is not "
                                       f"{'red' if want_red else 'blue'} at pixel ({x}, {y})")
    return grid


def centre(image, grid, column, row, part=None):
    """The colour at the centre of a cell, or of its upper or lower half (part 'upper' or
    'lower')."""
    left, top, right, bottom = grid.box(column, row)
    y = {None: (top + bottom) // 2, "upper": top + grid.height // 4,
         "lower": top + (3 * grid.height) // 4}[part]
    return image.getpixel(((left + right) // 2, y))


def mean(image, grid, column, row):
    """The mean colour of a cell, each channel rounded."""
    return tuple(round(v) for v in ImageStat.Stat(image.crop(grid.box(column, row))).mean)


def difference(a, b):
    """The largest difference of two colours in any channel."""
    return max(abs(x - y) for x, y in zip(a, b))


def _line_error(pixels, want, other):
    """How far a line of pixels is from `want`, as a share of the way to `other` (0: exactly
    `want`, 1: all `other`), averaged over the line."""
    span = max(1, difference(want, other))
    return sum(min(1.0, difference(p, want) / span) for p in pixels) / len(pixels)


def half_block_seams(image, grid, column, row, top, bottom):
    """The seams of a cell that should show colour `top` over colour `bottom`, split at its
    middle: the error (0 to 1, see _line_error) of its top and bottom pixel rows and of its
    right pixel column (each half against its own colour, the two rows at the split left
    out), and `split`, how many pixels below the middle the colour changes."""
    left, y0, right, y1 = grid.box(column, row)
    middle = y0 + grid.height // 2
    pixel = image.getpixel
    top_row = [pixel((x, y0)) for x in range(left, right)]
    bottom_row = [pixel((x, y1 - 1)) for x in range(left, right)]
    upper = [pixel((right - 1, y)) for y in range(y0, middle - 1)]
    lower = [pixel((right - 1, y)) for y in range(middle + 1, y1)]
    right_error = (_line_error(upper, top, bottom) * len(upper) +
                   _line_error(lower, bottom, top) * len(lower)) / (len(upper) + len(lower))
    centre_x = (left + right) // 2
    nearer_bottom = lambda y: (difference(pixel((centre_x, y)), bottom)
                               < difference(pixel((centre_x, y)), top))
    change = next((y for y in range(y0, y1) if nearer_bottom(y)), y1)
    return {"top": _line_error(top_row, top, bottom),
            "bottom": _line_error(bottom_row, bottom, top),
            "right": right_error, "split": change - middle}


def changed_share(before, after, box=None):
    """The share of pixels (within `box`, else everywhere) that differ between two pictures."""
    if box is not None:
        before, after = before.crop(box), after.crop(box)
    changed = ImageChops.difference(before, after).convert("L").point(lambda v: 255 if v else 0)
    return ImageStat.Stat(changed).sum[0] / 255 / (changed.width * changed.height)


def busy_share(image, box=None):
    """The share of pixels (within `box`, else everywhere) not of the picture's commonest
    colour: near 0 for a cleared screen with a cursor or a short line on it."""
    if box is not None:
        image = image.crop(box)
    count, _ = max(image.getcolors(image.width * image.height))
    return 1 - count / (image.width * image.height)


def open_picture(path_or_file):
    return Image.open(path_or_file).convert("RGB")
