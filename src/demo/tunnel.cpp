// The tunnel: beat cursor, motion and the inverse polar mapping onto the wall pictures.
#include "demo/tunnel.h"

#include <cmath>
#include <new>

#include "demo/beat_tables.h"
#include "gfx/resource_blob.h"

namespace {

constexpr float kKick = 2.0f;        // speed added per beat passed
constexpr double kDecay = -4.0;      // speed falls to 1/e every quarter second
constexpr double kTurn = 6.2831855f; // one turn in radians, as a float
constexpr double kTwist = 0.25;      // turns per phase unit
constexpr double kScroll = 0.75;     // depth per phase unit
constexpr double kDepth = 0.125;     // v = kDepth / r: the wall stretches towards the axis
constexpr float kRim = 0.5f;         // radius of the tube's opening

bool loadLevel(Texture& level, const char* name, int32_t width) {
    ResourceBlob blob;
    if (blob.load(name, kResourceTypeData) == nullptr) return false;
    return level.loadBytes(1.0f, blob, width);
}

} // namespace

bool TunnelEffect::load(int32_t width, int32_t height) {
    if (!target.create(width, height)) return false;
    mapping.reset(
        new (std::nothrow)
            TunnelCell[static_cast<size_t>(target.width) * static_cast<size_t>(target.height)]);
    if (!mapping) return false;
    return loadLevel(level0, "tunnel0.raw", 128) && loadLevel(level1, "tunnel1.raw", 64) &&
           loadLevel(level2, "tunnel2.raw", 32);
}

void TunnelEffect::release() {
    mapping.reset();
    mappedWidth = 0;
    mappedHeight = 0;
    level2 = Texture{};
    level1 = Texture{};
    level0 = Texture{};
    target = Texture{};
}

void TunnelEffect::render(float t, float delta, uint32_t w, uint32_t h) {
    // Seeking back walks the cursor back without kicks; going forward kicks once per entry.
    while (beatIndex > 0 && t < TunnelBeats[beatIndex - 1]) --beatIndex;
    while (beatIndex < kTunnelBeatCount && TunnelBeats[beatIndex] < t) {
        speed += kKick;
        ++beatIndex;
    }
    phase = static_cast<float>(phase + static_cast<double>(delta) * speed);
    speed = static_cast<float>(speed * std::exp(kDecay * delta));
    if (speed < 0.0f) speed = 0.0f;

    const uint32_t columns =
        w < static_cast<uint32_t>(target.width) ? w : static_cast<uint32_t>(target.width);
    const uint32_t rows =
        h < static_cast<uint32_t>(target.height) ? h : static_cast<uint32_t>(target.height);
    if (!mapping || columns == 0 || rows == 0) return;
    if (mappedWidth != w || mappedHeight != h) mapRegion(w, h, columns, rows);

    const Texture* levels[3] = {&level0, &level1, &level2};
    const double twist = phase * kTwist;
    const double scroll = phase * kScroll;
    for (uint32_t j = 0; j < rows; ++j) {
        LayerCell* row =
            &target.cells[static_cast<size_t>(j) * static_cast<uint32_t>(target.width)];
        const TunnelCell* map = &mapping[static_cast<size_t>(j) * columns];
        for (uint32_t i = 0; i < columns; ++i) {
            LayerCell& cell = row[i];
            const TunnelCell& m = map[i];
            if (m.level < 0) {
                cell.intensity = 1.0f;
                cell.alpha = 1.0f;
            } else {
                const float u = static_cast<float>(m.turns + twist);
                const float v = static_cast<float>(m.depth - scroll);
                levels[m.level]->sample(cell, u, v);
            }
            const double r = m.radius;
            const double s = cell.alpha;
            cell.alpha = static_cast<float>((kRim - r) * (1.0 - s) * r * 16.0);
        }
    }
}

void TunnelEffect::mapRegion(uint32_t w, uint32_t h, uint32_t columns, uint32_t rows) {
    // The steps follow the requested size; only the cells inside target are mapped.
    // A region one cell wide or high has no step: its one column or row lies at -0.5.
    const float stepX = w > 1u ? static_cast<float>(1.0 / static_cast<double>(w - 1u)) : 0.0f;
    const float stepY = h > 1u ? static_cast<float>(1.0 / static_cast<double>(h - 1u)) : 0.0f;
    float y = -0.5f;
    for (uint32_t j = 0; j < rows; ++j) {
        float x = -0.5f;
        for (uint32_t i = 0; i < columns; ++i) {
            TunnelCell& m = mapping[static_cast<size_t>(j) * columns + i];
            const float r = static_cast<float>(
                std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y));
            m.radius = r;
            m.turns = static_cast<float>(
                std::atan2(static_cast<double>(y), static_cast<double>(x)) / kTurn);
            m.depth = static_cast<float>(kDepth / r);
            // Near the axis v changes fastest from cell to cell: take coarser pictures.
            m.level = r > kRim ? -1 : (r > 0.25f ? 0 : (r > 0.1f ? 1 : 2));
            x += stepX;
        }
        y += stepY;
    }
    mappedWidth = w;
    mappedHeight = h;
}
