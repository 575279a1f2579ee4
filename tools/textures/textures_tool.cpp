// Builds the procedural pictures from their parameters (assets/textures/textures.txt): the
// tunnel wall at three resolutions (tunnel0.raw 128 x 64 and its 2 x 2 and 4 x 4 box-filtered
// reductions tunnel1.raw, tunnel2.raw) and the backdrop (backdrop.raw, 80 x 50).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/asset_text.h"

namespace {

constexpr int kTunnelWidth = 128;
constexpr int kTunnelHeight = 64;
constexpr int kBackdropWidth = 80;
constexpr int kBackdropHeight = 50;

using Parameters = std::map<std::string, double>;

bool readParameters(const char* path, Parameters& parameters) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", path);
        return false;
    }
    std::string text;
    int lineNumber = 0;
    while (readAssetLine(in, text, lineNumber)) {
        std::istringstream words(text);
        std::string key;
        if (!(words >> key)) continue;
        double value = 0.0;
        std::string extra;
        if (!(words >> value) || (words >> extra)) {
            std::fprintf(stderr, "%s:%d: expected \"name value\"\n", path, lineNumber);
            return false;
        }
        parameters[key] = value;
    }
    return true;
}

// Looks a parameter up; a missing one is an error, so a typo cannot pass silently.
struct Lookup {
    const Parameters& parameters;
    bool ok = true;
    double operator()(const std::string& key) {
        auto found = parameters.find(key);
        if (found != parameters.end()) return found->second;
        std::fprintf(stderr, "textures: parameter \"%s\" is missing\n", key.c_str());
        ok = false;
        return 1.0;
    }
};

uint32_t hashLattice(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^
                 static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

// Value noise in [-1, 1] on a lattice that repeats every periodX x periodY lattice cells,
// so a picture that is a whole number of periods wide and high tiles without a seam.
double periodicNoise(double x, double y, int periodX, int periodY, uint32_t seed) {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    const double tx = x - fx;
    const double ty = y - fy;
    const double sx = tx * tx * (3.0 - 2.0 * tx);
    const double sy = ty * ty * (3.0 - 2.0 * ty);
    auto corner = [&](int cx, int cy) {
        const int wx = ((cx % periodX) + periodX) % periodX;
        const int wy = ((cy % periodY) + periodY) % periodY;
        return static_cast<double>(hashLattice(wx, wy, seed) & 0xFFFFu) / 32767.5 - 1.0;
    };
    const double top = corner(ix, iy) * (1.0 - sx) + corner(ix + 1, iy) * sx;
    const double bottom = corner(ix, iy + 1) * (1.0 - sx) + corner(ix + 1, iy + 1) * sx;
    return top * (1.0 - sy) + bottom * sy;
}

uint8_t toByte(double brightness) {
    const double clamped = brightness < 0.0 ? 0.0 : (brightness > 1.0 ? 1.0 : brightness);
    return static_cast<uint8_t>(std::lround(clamped * 255.0));
}

// Brightness of one wall texel, before inversion.
double tunnelTexel(int x, int y, Lookup& p) {
    const int plateW = kTunnelWidth / static_cast<int>(p("tunnel.plates_around"));
    const int plateH = kTunnelHeight / static_cast<int>(p("tunnel.plates_along"));
    const int px = x % plateW;
    const int py = y % plateH;
    const int plateRow = y / plateH;
    const int grainCell = static_cast<int>(p("tunnel.grain_cell"));
    const double grain =
        p("tunnel.grain") * periodicNoise(static_cast<double>(x) / grainCell,
                                          static_cast<double>(y) / grainCell,
                                          kTunnelWidth / grainCell, kTunnelHeight / grainCell,
                                          static_cast<uint32_t>(p("tunnel.seed")));

    // The groove takes the last column and row of every plate and the first of the next.
    if (px == 0 || py == 0 || px == plateW - 1 || py == plateH - 1) return p("tunnel.groove");
    if (px == 1 || py == 1) return p("tunnel.bevel_light") + grain * 0.5;
    if (px == plateW - 2 || py == plateH - 2) return p("tunnel.bevel_shadow") + grain * 0.5;

    // Rivets sit 3 texels in from each corner of the plate.
    const double radius = p("tunnel.rivet_radius");
    for (int cy : {3, plateH - 4}) {
        for (int cx : {3, plateW - 4}) {
            const double d = std::hypot(px - cx, py - cy);
            if (d <= radius) return p("tunnel.rivet") - 0.25 * d / radius;
        }
    }
    double surface = p("tunnel.plate") + grain;
    const int ribPeriod = static_cast<int>(p("tunnel.rib_period"));
    if (plateRow % 2 == 1 && py > 3 && py < plateH - 4 && (py - 4) % ribPeriod == ribPeriod - 1)
        surface = p("tunnel.rib") + grain;
    return surface;
}

// Mean of each factor x factor block, rounded half up: the reduced levels of the wall.
std::vector<uint8_t> boxReduce(const std::vector<uint8_t>& full, int width, int height,
                               int factor) {
    std::vector<uint8_t> reduced(static_cast<size_t>(width / factor * (height / factor)));
    const int area = factor * factor;
    for (int y = 0; y < height / factor; ++y) {
        for (int x = 0; x < width / factor; ++x) {
            int sum = 0;
            for (int j = 0; j < factor; ++j)
                for (int i = 0; i < factor; ++i)
                    sum += full[static_cast<size_t>((y * factor + j) * width + x * factor + i)];
            reduced[static_cast<size_t>(y * (width / factor) + x)] =
                static_cast<uint8_t>((sum + area / 2) / area);
        }
    }
    return reduced;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "%s: cannot create\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "%s: cannot write\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kaveo_textures PARAMETERS.txt OUTPUT_DIRECTORY\n");
        return 2;
    }
    Parameters parameters;
    if (!readParameters(argv[1], parameters)) return 1;
    Lookup p{parameters};

    const int around = static_cast<int>(p("tunnel.plates_around"));
    const int along = static_cast<int>(p("tunnel.plates_along"));
    const int grainCell = static_cast<int>(p("tunnel.grain_cell"));
    if (!p.ok) return 1;
    if (around < 1 || along < 1 || kTunnelWidth % around != 0 || kTunnelHeight % along != 0 ||
        grainCell < 1 || kTunnelWidth % grainCell != 0 || kTunnelHeight % grainCell != 0) {
        std::fprintf(stderr, "%s: plates and grain must divide 128 x 64 to tile\n", argv[1]);
        return 1;
    }
    if (kTunnelWidth / around < 10 || kTunnelHeight / along < 10) {
        std::fprintf(stderr, "%s: plates must be at least 10 texels for their rivets\n", argv[1]);
        return 1;
    }

    std::vector<uint8_t> tunnel0(kTunnelWidth * kTunnelHeight);
    for (int y = 0; y < kTunnelHeight; ++y)
        for (int x = 0; x < kTunnelWidth; ++x)
            tunnel0[static_cast<size_t>(y * kTunnelWidth + x)] = toByte(1.0 - tunnelTexel(x, y, p));

    std::vector<uint8_t> backdrop(kBackdropWidth * kBackdropHeight);
    const double cx = p("backdrop.centre_x");
    const double cy = p("backdrop.centre_y");
    const double wavelength = p("backdrop.wavelength");
    const double level = p("backdrop.level");
    const double depth = p("backdrop.depth");
    const double vignette = p("backdrop.vignette");
    if (!p.ok) return 1;
    const double pi = std::acos(-1.0);
    for (int y = 0; y < kBackdropHeight; ++y) {
        for (int x = 0; x < kBackdropWidth; ++x) {
            // Cells are about 1.2 times as tall as wide; keep the ripples round.
            const double d = std::hypot(x - cx, (y - cy) * 1.2);
            const double ex = (x - kBackdropWidth / 2.0) / (kBackdropWidth / 2.0);
            const double ey = (y - kBackdropHeight / 2.0) / (kBackdropHeight / 2.0);
            const double fade = 1.0 - vignette * (ex * ex + ey * ey) * 0.5;
            const double b = (level + depth * std::cos(2.0 * pi * d / wavelength)) * fade;
            backdrop[static_cast<size_t>(y * kBackdropWidth + x)] = toByte(b);
        }
    }

    const std::string dir = argv[2];
    if (!writeFile(dir + "/tunnel0.raw", tunnel0) ||
        !writeFile(dir + "/tunnel1.raw", boxReduce(tunnel0, kTunnelWidth, kTunnelHeight, 2)) ||
        !writeFile(dir + "/tunnel2.raw", boxReduce(tunnel0, kTunnelWidth, kTunnelHeight, 4)) ||
        !writeFile(dir + "/backdrop.raw", backdrop))
        return 1;
    return 0;
}
