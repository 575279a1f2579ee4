"""The screenshot reader on synthetic screens: the grid found under margins and other
colours, refused when the board is not whole cells, and half-block seams measured."""

import unittest

from PIL import Image, ImageDraw

import screenshot_cells as sc

GREY, RED, BLUE = (36, 36, 36), (205, 0, 0), (92, 92, 255)
YELLOW, NAVY = (255, 255, 85), (0, 0, 128)


def board(columns, rows, x0, y0, width, height, size=(700, 500)):
    image = Image.new("RGB", size, GREY)
    draw = ImageDraw.Draw(image)
    for row in range(rows):
        for column in range(columns):
            left, top = x0 + column * width, y0 + row * height
            colour = RED if (column + row) % 2 else BLUE
            draw.rectangle((left, top, left + width - 1, top + height - 1), fill=colour)
    return image, draw


class FindGrid(unittest.TestCase):
    def test_board_behind_a_margin_beside_text_and_a_cursor(self):
        image, draw = board(80, 25, 3, 2, 7, 14)
        draw.rectangle((570, 100, 576, 113), fill=(230, 230, 230))  # a cursor, colourless
        draw.text((5, 400), "ready", fill=(255, 255, 255))
        grid = sc.find_grid(image, 80, 25)
        self.assertEqual((grid.x0, grid.y0, grid.width, grid.height), (3, 2, 7, 14))
        self.assertEqual(sc.centre(image, grid, 0, 0), BLUE)
        self.assertEqual(sc.centre(image, grid, 79, 24), RED)

    def test_refuses_a_board_of_other_cells_or_count(self):
        image, _ = board(80, 25, 0, 0, 7, 14)
        with self.assertRaises(sc.GridNotFound):
            sc.find_grid(image, 81, 25)  # 560 pixels are not 81 whole cells
        with self.assertRaises(sc.GridNotFound):
            sc.find_grid(image, 40, 25)  # whole cells of 14, but not alternating
        with self.assertRaises(sc.GridNotFound):
            sc.find_grid(Image.new("RGB", (50, 50), GREY), 2, 2)


class HalfBlockSeams(unittest.TestCase):
    def cell(self, draw_extra=None):
        image = Image.new("RGB", (8, 16), NAVY)
        draw = ImageDraw.Draw(image)
        draw.rectangle((0, 0, 7, 7), fill=YELLOW)  # yellow over navy, split at row 8
        if draw_extra:
            draw_extra(draw)
        return sc.half_block_seams(image, sc.Grid(0, 0, 8, 16), 0, 0, YELLOW, NAVY)

    def test_clean_cell_has_no_seam(self):
        self.assertEqual(self.cell(), {"top": 0, "bottom": 0, "right": 0, "split": 0})

    def test_a_line_of_the_other_colour_at_the_top(self):
        seams = self.cell(lambda d: d.line((0, 0, 7, 0), fill=NAVY))
        self.assertEqual(seams["top"], 1)
        self.assertEqual(seams["bottom"], 0)

    def test_a_tinted_right_column_and_a_split_one_pixel_low(self):
        halfway = (128, 128, 106)  # half way from yellow to navy
        seams = self.cell(lambda d: (d.line((7, 0, 7, 15), fill=halfway),
                                     d.line((0, 8, 6, 8), fill=YELLOW)))
        self.assertAlmostEqual(seams["right"], 0.5, delta=0.02)
        self.assertEqual(seams["split"], 1)
        self.assertAlmostEqual(seams["top"], 1 / 8 * 0.5, delta=0.002)  # its right pixel, half way


class ChangedShare(unittest.TestCase):
    def test_counts_differing_pixels_in_the_box(self):
        before = Image.new("RGB", (10, 10), GREY)
        after = before.copy()
        after.putpixel((1, 1), RED)
        self.assertEqual(sc.changed_share(before, after), 0.01)
        self.assertEqual(sc.changed_share(before, after, (5, 5, 10, 10)), 0)


if __name__ == "__main__":
    unittest.main()
