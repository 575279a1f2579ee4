// Builds palette.bin from its readable transcription (assets/palette/palette.txt): records of
// slot number, pair count and character/attribute pairs, written back to back.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/asset_text.h"

namespace {

bool parseHexByte(const std::string& text, uint8_t& value) {
    if (text.size() != 2) return false;
    unsigned parsed = 0;
    for (char c : text) {
        parsed <<= 4;
        if (c >= '0' && c <= '9')
            parsed |= static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            parsed |= static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            parsed |= static_cast<unsigned>(c - 'a' + 10);
        else
            return false;
    }
    value = static_cast<uint8_t>(parsed);
    return true;
}

struct Record {
    int slot = -1;
    int count = 0;
    int line = 0;
    std::vector<uint8_t> pairs; // character, attribute, character, ...
};

int fail(const char* path, int line, const std::string& why) {
    std::fprintf(stderr, "%s:%d: %s\n", path, line, why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaveo_palette INPUT.txt OUTPUT.bin\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) return fail(argv[1], 0, "cannot open");

    std::vector<Record> records;
    std::string text;
    int lineNumber = 0;
    while (readAssetLine(in, text, lineNumber)) {
        std::istringstream words(text);
        std::string word;
        while (words >> word) {
            if (word == "slot") {
                Record record;
                std::string countWord;
                if (!(words >> record.slot >> countWord >> record.count) || countWord != "count")
                    return fail(argv[1], lineNumber, "expected \"slot S count N\"");
                if (record.slot < 0 || record.slot > 255)
                    return fail(argv[1], lineNumber, "slot must be 0..255");
                if (record.count < 1 || record.count > 255)
                    return fail(argv[1], lineNumber, "count must be 1..255");
                for (const Record& earlier : records)
                    if (earlier.slot == record.slot)
                        return fail(argv[1], lineNumber, "slot given twice");
                record.line = lineNumber;
                records.push_back(record);
                continue;
            }
            if (records.empty()) return fail(argv[1], lineNumber, "pair before the first slot");
            const size_t slash = word.find('/');
            uint8_t character = 0;
            uint8_t attribute = 0;
            if (slash == std::string::npos || !parseHexByte(word.substr(0, slash), character) ||
                !parseHexByte(word.substr(slash + 1), attribute))
                return fail(argv[1], lineNumber, "bad pair \"" + word + "\", expected XX/YY");
            records.back().pairs.push_back(character);
            records.back().pairs.push_back(attribute);
        }
    }
    for (const Record& record : records) {
        const size_t pairs = record.pairs.size() / 2;
        if (pairs != static_cast<size_t>(record.count))
            return fail(argv[1], record.line,
                        "slot " + std::to_string(record.slot) + " declares " +
                            std::to_string(record.count) + " pairs but lists " +
                            std::to_string(pairs));
    }

    std::vector<uint8_t> bytes;
    for (const Record& record : records) {
        bytes.push_back(static_cast<uint8_t>(record.slot));
        bytes.push_back(static_cast<uint8_t>(record.count));
        bytes.insert(bytes.end(), record.pairs.begin(), record.pairs.end());
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return fail(argv[2], 0, "cannot create");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) return fail(argv[2], 0, "cannot write");
    return 0;
}
