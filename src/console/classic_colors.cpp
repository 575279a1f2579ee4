// The classic console palette, glyph ink shares and nearest-colour searches.
#include "console/classic_colors.h"

namespace {

uint32_t squaredDistance(Rgb a, Rgb b) {
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return static_cast<uint32_t>(dr * dr + dg * dg + db * db);
}

} // namespace

const Rgb kClassicColors[16] = {
    {0, 0, 0},     {0, 0, 128},     {0, 128, 0},     {0, 128, 128},   {128, 0, 0}, {128, 0, 128},
    {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255},     {0, 255, 0}, {0, 255, 255},
    {255, 0, 0},   {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};

Rgb xterm256Color(uint8_t index) {
    if (index < 16) return Rgb{}; // black
    if (index >= 232) {
        const uint8_t grey = static_cast<uint8_t>(8 + 10 * (index - 232));
        return Rgb{grey, grey, grey};
    }
    auto level = [](uint32_t n) { return static_cast<uint8_t>(n == 0 ? 0 : 55 + 40 * n); };
    const uint32_t i = index - 16u;
    return Rgb{level(i / 36), level(i / 6 % 6), level(i % 6)};
}

uint8_t inkSixteenths(uint8_t glyph) {
    switch (glyph) {
    case 0x00:
    case 0x20:
    case 0xFF:
        return 0;
    case 0xB0: // light shade
        return 4;
    case 0xB1: // medium shade
        return 8;
    case 0xB2: // dark shade
        return 12;
    case 0xDB: // full block
        return 16;
    case 0xDC: // lower, left, right and upper half blocks
    case 0xDD:
    case 0xDE:
    case 0xDF:
        return 8;
    case '.':
    case 0xF9: // bullet operator
    case 0xFA: // middle dot
        return 1;
    case '+':
        return 3;
    case '*':
        return 4;
    default:
        return 5;
    }
}

Rgb mixColors(Rgb ink, Rgb paper, uint32_t sixteenths) {
    const uint32_t s = sixteenths > 16 ? 16 : sixteenths;
    auto channel = [s](uint32_t i, uint32_t p) {
        return static_cast<uint8_t>((i * s + p * (16 - s) + 8) / 16);
    };
    return Rgb{channel(ink.r, paper.r), channel(ink.g, paper.g), channel(ink.b, paper.b)};
}

uint8_t nearestXterm256(Rgb color) {
    // The squared distance is a sum over the channels, so the nearest cube colour takes each
    // channel's nearest level, the lower on a tie (the lower index wins). Searching all 240
    // colours instead cost start-up several milliseconds over the mixed-colour tables.
    auto nearestLevel = [](uint32_t v) -> uint32_t {
        if (v < 48) return 0; // halfway between 0 and 95 is 47.5
        // Levels 55 + 40 n for n >= 1: halfway to the next one is 75 + 40 n.
        return v <= 115 ? 1 : (v - 75 + 39) / 40;
    };
    const uint32_t cube =
        16 + 36 * nearestLevel(color.r) + 6 * nearestLevel(color.g) + nearestLevel(color.b);
    uint32_t best = cube;
    uint32_t bestDistance = squaredDistance(color, xterm256Color(static_cast<uint8_t>(cube)));
    // The greys come after the cube: one wins only when strictly nearer.
    for (uint32_t i = 232; i < 256; ++i) {
        const uint32_t d = squaredDistance(color, xterm256Color(static_cast<uint8_t>(i)));
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<uint8_t>(best);
}

uint8_t nearestClassicColor(Rgb color) {
    uint32_t best = 0;
    uint32_t bestDistance = squaredDistance(color, kClassicColors[0]);
    for (uint32_t i = 1; i < 16; ++i) {
        const uint32_t d = squaredDistance(color, kClassicColors[i]);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<uint8_t>(best);
}
