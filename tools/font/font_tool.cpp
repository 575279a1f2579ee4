// Builds font.bin, the 8 x 16 console font of the captures, from its readable source
// (assets/font/console_8x16.txt): 256 glyphs in byte order, each "glyph XX" and 16 rows of
// 8 pixels ('X' set, '.' clear). font.bin holds 16 bytes per glyph, glyph 0 first, a byte per
// row from the top, the leftmost pixel in bit 7: 4,096 bytes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/asset_text.h"

namespace {

constexpr int kGlyphCount = 256;
constexpr int kGlyphRows = 16;
constexpr int kGlyphColumns = 8;

int fail(const std::string& where, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", where.c_str(), why.c_str());
    return 1;
}

std::string hexByte(int value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// "glyph XX" with XX two hex digits; false for anything else.
bool parseGlyphHeader(const std::string& text, int& byte) {
    std::istringstream words(text);
    std::string keyword, code, extra;
    if (!(words >> keyword >> code) || keyword != "glyph" || (words >> extra)) return false;
    if (code.size() != 2) return false;
    byte = 0;
    for (char c : code) {
        const int digit = (c >= '0' && c <= '9')   ? c - '0'
                          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                   : -1;
        if (digit < 0) return false;
        byte = byte * 16 + digit;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaveo_font INPUT.txt OUTPUT.bin\n");
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream in(path);
    if (!in) return fail(path, "cannot open");

    std::vector<uint8_t> font(kGlyphCount * kGlyphRows);
    int glyph = -1; // the glyph whose rows are being read
    int row = kGlyphRows;
    std::string text;
    int lineNumber = 0;
    while (readAssetLine(in, text, lineNumber)) {
        const std::string where = path + ":" + std::to_string(lineNumber);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.pop_back();
        if (row < kGlyphRows) {
            if (text.size() != kGlyphColumns)
                return fail(where, "glyph " + hexByte(glyph) + " row " + std::to_string(row + 1) +
                                       " needs 8 pixels, has " + std::to_string(text.size()));
            uint8_t bits = 0;
            for (int x = 0; x < kGlyphColumns; ++x) {
                const char pixel = text[static_cast<size_t>(x)];
                if (pixel != 'X' && pixel != '.')
                    return fail(where, std::string("pixel '") + pixel + "' is neither 'X' nor '.'");
                if (pixel == 'X') bits = static_cast<uint8_t>(bits | (0x80 >> x));
            }
            font[static_cast<size_t>(glyph * kGlyphRows + row)] = bits;
            ++row;
            continue;
        }
        if (text.find_first_not_of(" \t") == std::string::npos) continue;
        int byte = 0;
        if (!parseGlyphHeader(text, byte)) {
            return fail(where, glyph < 0 ? "expected \"glyph 00\""
                                         : "glyph " + hexByte(glyph) +
                                               " has 16 rows; expected \"glyph XX\"");
        }
        // In byte order, so a missing or doubled glyph is caught where it happens.
        if (byte != glyph + 1 || glyph + 1 >= kGlyphCount)
            return fail(where, "glyph " + hexByte(byte) + " out of order; expected glyph " +
                                   (glyph + 1 < kGlyphCount ? hexByte(glyph + 1) : "none"));
        glyph = byte;
        row = 0;
    }
    if (row < kGlyphRows)
        return fail(path, "glyph " + hexByte(glyph) + " ends after " + std::to_string(row) +
                              " of 16 rows");
    if (glyph != kGlyphCount - 1)
        return fail(path, "has " + std::to_string(glyph + 1) + " of the 256 glyphs");

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return fail(argv[2], "cannot create");
    const bool written = std::fwrite(font.data(), 1, font.size(), out) == font.size();
    if (std::fclose(out) != 0 || !written) return fail(argv[2], "cannot write");
    return 0;
}
