// The classic console colours as RGB, and what a viewer sees of a cell: its glyph's share of
// ink mixing the cell's two colours. The terminal's 256-colour and 24-bit modes show these
// colours exactly or nearly in every theme; the half-block layout shows the mixes.
#pragma once

#include <cstdint>

struct Rgb {
    uint8_t r, g, b;
};

// The sixteen console colours, in attribute order (blue 1, green 2, red 4, intensity 8).
extern const Rgb kClassicColors[16];

// The ANSI (and xterm, and curses) number 0-15 of a console colour 0-15: ANSI numbers run
// red 1, green 2, blue 4, so the blue and red bits swap; intensity stays 8.
inline uint8_t ansiColorIndex(uint8_t console) {
    return static_cast<uint8_t>((console & 0x0A) | ((console & 1) << 2) | ((console & 4) >> 2));
}

// The share of a character cell that `glyph`'s ink covers, in sixteenths: 0 for blanks
// (space, NUL, no-break space), 4, 8 and 12 for the light, medium and dark shades, 16 for the
// full block, 8 for the half blocks, 1 for the dots, 3 for the plus, 4 for the asterisk and
// 5 for every other glyph (letters, digits, lines: about a third of an 8 x 8 cell).
uint8_t inkSixteenths(uint8_t glyph);

// `ink` over `paper`, `sixteenths` of the way to `ink`, each channel rounded to nearest
// (halves up).
Rgb mixColors(Rgb ink, Rgb paper, uint32_t sixteenths);

// The colour xterm and its relatives show for a 256-colour index of the 6 x 6 x 6 cube
// (16-231, levels 0, 95, 135, 175, 215, 255) or the grey ramp (232-255, 8 + 10 n). Indices
// 0-15 name the terminal's own theme, which only the terminal knows: they give black.
Rgb xterm256Color(uint8_t index);

// The nearest colour, by squared distance in RGB, of the xterm 6 x 6 x 6 cube (indices
// 16-231, levels 0, 95, 135, 175, 215, 255) and grey ramp (232-255, 8 + 10 n); the lower
// index on a tie.
uint8_t nearestXterm256(Rgb color);

// The nearest of the sixteen classic colours (an attribute colour 0-15); the lower on a tie.
uint8_t nearestClassicColor(Rgb color);
