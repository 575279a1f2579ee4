// Turns the readable icon picture (assets/icon/kaveo_icon.txt: a legend of colours and 32
// rows of 32 pixels) into a Windows .ico file holding a 32 x 32 and a 16 x 16 image, both
// 32-bit with alpha. Usage: kaveo_icon <picture.txt> <output.ico>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

using Picture = std::vector<Rgba>; // row-major, top row first

bool readPicture(const char* path, Picture& picture) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "kaveo_icon: cannot read %s\n", path);
        return false;
    }
    std::map<char, Rgba> legend;
    legend[' '] = Rgba{};
    picture.clear();
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("legend ", 0) == 0 && line.size() == 15) {
            const unsigned long rgb = std::stoul(line.substr(9), nullptr, 16);
            legend[line[7]] = Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                   static_cast<uint8_t>(rgb), 255};
            continue;
        }
        if (line.size() != kSize + 2 || line.front() != '|' || line.back() != '|') {
            std::fprintf(stderr, "kaveo_icon: %s:%d: expected |%d pixels|\n", path, lineNumber,
                         kSize);
            return false;
        }
        for (int x = 1; x <= kSize; ++x) {
            const auto found = legend.find(line[x]);
            if (found == legend.end()) {
                std::fprintf(stderr, "kaveo_icon: %s:%d: '%c' is not in the legend\n", path,
                             lineNumber, line[x]);
                return false;
            }
            picture.push_back(found->second);
        }
    }
    if (picture.size() != kSize * kSize) {
        std::fprintf(stderr, "kaveo_icon: %s: expected %d rows\n", path, kSize);
        return false;
    }
    return true;
}

// Averages 2 x 2 blocks, colour weighted by alpha so transparent pixels add no black.
Picture halve(const Picture& big, int size) {
    Picture small(static_cast<size_t>(size / 2 * size / 2));
    for (int y = 0; y < size / 2; ++y) {
        for (int x = 0; x < size / 2; ++x) {
            unsigned r = 0, g = 0, b = 0, a = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const Rgba& p = big[static_cast<size_t>((2 * y + dy) * size + 2 * x + dx)];
                    r += p.r * p.a;
                    g += p.g * p.a;
                    b += p.b * p.a;
                    a += p.a;
                }
            }
            Rgba& out = small[static_cast<size_t>(y * (size / 2) + x)];
            if (a > 0) {
                out = Rgba{static_cast<uint8_t>(r / a), static_cast<uint8_t>(g / a),
                           static_cast<uint8_t>(b / a), static_cast<uint8_t>(a / 4)};
            }
        }
    }
    return small;
}

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8 & 0xFF);
}
void put32(std::string& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One icon image: a BITMAPINFOHEADER of twice the height (colour, then mask), BGRA rows from
// the bottom up, and an all-zero AND mask (the alpha channel does the masking).
std::string iconImage(const Picture& picture, int size) {
    std::string out;
    put32(out, 40);
    put32(out, static_cast<unsigned>(size));
    put32(out, static_cast<unsigned>(2 * size));
    put16(out, 1);                             // planes
    put16(out, 32);                            // bits per pixel
    for (int i = 0; i < 6; ++i) put32(out, 0); // no compression; sizes and colours unused
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const Rgba& p = picture[static_cast<size_t>(y * size + x)];
            out += static_cast<char>(p.b);
            out += static_cast<char>(p.g);
            out += static_cast<char>(p.r);
            out += static_cast<char>(p.a);
        }
    }
    const int maskRowBytes = (size + 31) / 32 * 4;
    out.append(static_cast<size_t>(maskRowBytes * size), '\0');
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaveo_icon <picture.txt> <output.ico>\n");
        return 2;
    }
    Picture big;
    if (!readPicture(argv[1], big)) return 1;
    const std::string images[2] = {iconImage(big, kSize), iconImage(halve(big, kSize), kSize / 2)};

    std::string ico;
    put16(ico, 0);
    put16(ico, 1); // an icon
    put16(ico, 2);
    unsigned offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        const int size = i == 0 ? kSize : kSize / 2;
        ico += static_cast<char>(size);
        ico += static_cast<char>(size);
        ico += '\0'; // no colour table
        ico += '\0';
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, static_cast<unsigned>(images[i].size()));
        put32(ico, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    ico += images[0];
    ico += images[1];

    std::ofstream out(argv[2], std::ios::binary);
    out.write(ico.data(), static_cast<std::streamsize>(ico.size()));
    if (!out) {
        std::fprintf(stderr, "kaveo_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
