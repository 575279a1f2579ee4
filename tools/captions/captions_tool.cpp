// Builds text.bin, the 80 x 80 sheet of caption pictures, from its readable source
// (assets/captions/captions.txt): glyph grids with a colour per row and a legend that maps
// glyphs to code page 437 characters and colour names to console attributes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSheetWidth = 80;
constexpr int kSheetHeight = 80;
constexpr int kPictureCount = 5;
// Where each picture goes on the sheet and how many rows it has; the rows between them
// stay background.
constexpr int kPictureTop[kPictureCount] = {1, 16, 32, 48, 64};
constexpr int kPictureRows[kPictureCount] = {14, 15, 15, 15, 15};
constexpr uint8_t kBackground = '.';
constexpr uint8_t kBackgroundAttribute = 0x07;

struct Glyph {
    uint8_t character = 0;
    bool shade = false; // shade glyphs take the row's shade colour, block glyphs its colour
};

int fail(const std::string& where, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", where.c_str(), why.c_str());
    return 1;
}

bool parseHexByte(const std::string& text, uint8_t& value) {
    if (text.size() != 2) return false;
    unsigned long parsed = 0;
    size_t used = 0;
    try {
        parsed = std::stoul(text, &used, 16);
    } catch (...) {
        return false;
    }
    if (used != 2) return false;
    value = static_cast<uint8_t>(parsed);
    return true;
}

bool isShadeCharacter(uint8_t character) {
    return character == 0xB0 || character == 0xB1 || character == 0xB2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaveo_captions INPUT.txt OUTPUT.bin\n");
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream in(path);
    if (!in) return fail(path, "cannot open");

    std::map<char, Glyph> glyphs;
    std::map<std::string, uint8_t> colours;
    std::vector<uint8_t> sheet(kSheetWidth * kSheetHeight * 2);
    for (size_t i = 0; i < sheet.size(); i += 2) {
        sheet[i] = kBackground;
        sheet[i + 1] = kBackgroundAttribute;
    }
    bool seen[kPictureCount] = {};

    int picture = -1; // index of the picture being read, -1 outside a picture block
    int pictureRow = 0;
    std::string shadeColour;
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        const std::string where = path + ":" + std::to_string(lineNumber);
        std::istringstream words(text);
        std::string first;
        const bool blank = !(words >> first);

        if (picture >= 0) {
            // Inside a picture every line is a row: "#" is a glyph here, not a comment.
            if (blank) return fail(where, "blank line inside a picture");
            if (first == "end") {
                if (pictureRow != kPictureRows[picture])
                    return fail(where, "picture " + std::to_string(picture + 1) + " needs " +
                                           std::to_string(kPictureRows[picture]) + " rows, has " +
                                           std::to_string(pictureRow));
                picture = -1;
                continue;
            }
            if (pictureRow >= kPictureRows[picture]) return fail(where, "too many rows");
            if (first.size() != kSheetWidth)
                return fail(where, "a row needs " + std::to_string(kSheetWidth) + " glyphs, has " +
                                       std::to_string(first.size()));
            std::string blockName;
            std::string shadeName = shadeColour;
            words >> blockName;
            std::string extra;
            if (words >> extra) shadeName = extra;
            if (words >> extra) return fail(where, "unexpected \"" + extra + "\"");
            if (blockName.empty()) return fail(where, "a row needs a colour (or \"-\")");
            const int sheetRow = kPictureTop[picture] + pictureRow;
            for (int x = 0; x < kSheetWidth; ++x) {
                const char symbol = first[static_cast<size_t>(x)];
                if (symbol == '.') continue;
                auto glyph = glyphs.find(symbol);
                if (glyph == glyphs.end())
                    return fail(where, std::string("glyph '") + symbol + "' is not in the legend");
                const std::string& colourName = glyph->second.shade ? shadeName : blockName;
                auto colour = colours.find(colourName);
                if (colour == colours.end())
                    return fail(where,
                                "no colour \"" + colourName + "\" for glyph '" + symbol + "'");
                const size_t at = static_cast<size_t>((sheetRow * kSheetWidth + x) * 2);
                sheet[at] = glyph->second.character;
                sheet[at + 1] = colour->second;
            }
            ++pictureRow;
            continue;
        }

        if (blank || first[0] == '#') continue;
        if (first == "glyph") {
            std::string symbol;
            std::string code;
            uint8_t character = 0;
            if (!(words >> symbol >> code) || symbol.size() != 1 || symbol[0] == '.' ||
                !parseHexByte(code, character))
                return fail(where, "expected \"glyph S XX\"");
            glyphs[symbol[0]] = Glyph{character, isShadeCharacter(character)};
        } else if (first == "colour") {
            std::string name;
            std::string code;
            uint8_t attribute = 0;
            if (!(words >> name >> code) || name == "-" || !parseHexByte(code, attribute))
                return fail(where, "expected \"colour NAME XX\"");
            if (attribute == 0) return fail(where, "black on black would be invisible");
            colours[name] = attribute;
        } else if (first == "picture") {
            int number = 0;
            if (!(words >> number) || number < 1 || number > kPictureCount)
                return fail(where, "expected \"picture N\" with N from 1 to 5");
            if (seen[number - 1]) return fail(where, "picture given twice");
            seen[number - 1] = true;
            picture = number - 1;
            pictureRow = 0;
            shadeColour.clear();
        } else if (first == "shade") {
            if (!(words >> shadeColour)) return fail(where, "expected \"shade COLOUR\"");
            return fail(where, "\"shade\" belongs right after \"picture N\"");
        } else {
            return fail(where, "unknown keyword \"" + first + "\"");
        }

        // The picture's default shade colour comes on the line after its header.
        if (picture >= 0) {
            std::string next;
            if (!std::getline(in, next)) return fail(where, "picture without rows");
            ++lineNumber;
            std::istringstream shadeWords(next);
            std::string keyword;
            if (!(shadeWords >> keyword >> shadeColour) || keyword != "shade")
                return fail(path + ":" + std::to_string(lineNumber),
                            "expected \"shade COLOUR\" after \"picture N\"");
        }
    }
    if (picture >= 0) return fail(path, "last picture has no \"end\"");
    for (int i = 0; i < kPictureCount; ++i)
        if (!seen[i]) return fail(path, "picture " + std::to_string(i + 1) + " is missing");

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return fail(argv[2], "cannot create");
    const bool written = std::fwrite(sheet.data(), 1, sheet.size(), out) == sheet.size();
    if (std::fclose(out) != 0 || !written) return fail(argv[2], "cannot write");
    return 0;
}
