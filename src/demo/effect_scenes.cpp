// The effect scenes: noise flashes, beat rings, bubbles, the tunnel and the figure-eights,
// each drawn from the demo time and the beat tables and composited into the main Layer.
#include <algorithm>
#include <cmath>

#include "demo/beat_tables.h"
#include "demo/demo_content.h"

namespace {

constexpr float kPaletteThreshold = 0.01f;
// Drawing into scratch: intensity gains value x coverage, alpha gains coverage.
constexpr BlendCoefficients kDraw{0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f};
constexpr BlendCoefficients kAdd{1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f};

constexpr uint8_t kBubbleSlot = 5;
constexpr uint8_t kBubbleSwitchSlot = 6; // shows level 0 as white
constexpr uint8_t kRingSlot = 8;
constexpr uint8_t kTunnelSlot = 8;
constexpr uint8_t kNoiseSlot = 14;

// The noise covers the visible screen.
constexpr int32_t kScreenWidth = 80;
constexpr int32_t kScreenHeight = 50;

constexpr int32_t kLastFlashBeat = 25; // flashes follow MainBeats[0..24]
constexpr int32_t kRiseEndBeat = 26;   // the noise rises for 2.5 s up to this beat...
constexpr int32_t kFallEndBeat = 28;   // ...and falls until this one
constexpr double kRiseSeconds = 2.5;
constexpr double kFlashFade = 3.0; // a flash fades in a third of a second

constexpr int32_t kFigureEightBeats = 25;
constexpr int32_t kFigureEightSegments = 20;

constexpr int32_t kTunnelLeft = 30; // the tunnel fills columns 30..79
constexpr uint32_t kTunnelSize = 50;

bool inside(float t, double from, double to) {
    return from < t && t < to;
}

// The noise flash's strength at t: from 1 on a beat down to 0 a third of a second later,
// rising and falling around MainBeats[26]; outside 0..1 nothing flashes (-1 after the fall).
double flashStrength(float t) {
    int32_t i = 0;
    while (i < kLastFlashBeat && MainBeats[i + 1] < t) ++i;
    const double rise = MainBeats[kRiseEndBeat];
    const double fall = MainBeats[kFallEndBeat];
    if (inside(t, rise, fall)) return (fall - t) / (fall - rise);
    if (inside(t, rise - kRiseSeconds, rise)) return 1.0 - (rise - t) * 0.4;
    if (i == kLastFlashBeat) return -1.0;
    return 1.0 - kFlashFade * (static_cast<double>(t) - MainBeats[i]);
}

} // namespace

void DemoContent::noiseFlashScene(CellImage&, float t, float) {
    const double f = flashStrength(t);
    // The noise takes its random numbers every frame, so the random sequence does not depend
    // on the beats; it is drawn only when it shows (the next clear would wipe it unseen).
    if (f < 0.0 || f > 1.0) {
        scratch.skipNoise(0, 0, kScreenWidth, kScreenHeight);
        return;
    }
    scratch.addNoise(BlendCoefficients{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}, 0, 0,
                     kScreenWidth, kScreenHeight);
    scratchDrawn.add(0, 0, kScreenWidth, kScreenHeight);
    const BlendCoefficients k{static_cast<float>(0.125 * f), 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    compositeScratchWith(palettes[kNoiseSlot], k);
}

void DemoContent::ringsScene(CellImage&, float t, float) {
    scratchDrawn.add(rings.render(scratch, kDraw, t));
    compositeScratchWith(palettes[kRingSlot], kAdd);
}

void DemoContent::bubblesScene(CellImage&, float t, float delta) {
    const double remaining = TunnelBeats[20] - static_cast<double>(t);
    if (remaining < 0.0) {
        // Faded out for good: the bubbles keep moving (a seek back shows them where they
        // went), but a drawing would only be cleared unseen by the next scene.
        bubbles.update(t, delta);
        return;
    }
    // Only the screen's part of scratch is composited.
    scratchDrawn.add(
        bubbles.render(scratch, kDraw, t, delta, CellArea{0, 0, kScreenWidth, kScreenHeight}));

    const double switchBeat = MainBeats[33];
    const double secondBeat = MainBeats[34];
    const Palette* palette = palettes[kBubbleSlot];
    if (inside(t, switchBeat + 0.5, secondBeat + 0.25)) {
        LayerCell recolour{};
        recolour.intensity = 1.0f;
        recolour.palette = palettes[kBubbleSwitchSlot];
        mainLayer.fillRect(recolour, BlendCoefficients{0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f}, 0,
                           0, mainLayer.width, mainLayer.height);
        mainDrawn.add(0, 0, mainLayer.width, mainLayer.height);
        palette = palettes[kBubbleSwitchSlot];
    }

    if (inside(t, switchBeat, switchBeat + 0.25) ||
        inside(t, switchBeat + 0.5, switchBeat + 0.75) ||
        inside(t, secondBeat, secondBeat + 0.25) ||
        inside(t, secondBeat + 0.5, secondBeat + 0.75) || inside(t, MainBeats[36], MainBeats[37])) {
        scratch.addNoise(BlendCoefficients{0.25f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}, 0, 0,
                         kScreenWidth, kScreenHeight);
        scratchDrawn.add(0, 0, kScreenWidth, kScreenHeight);
    }

    const float a = static_cast<float>(remaining > 1.0 ? 1.0 : remaining);
    compositeScratchWith(palette, BlendCoefficients{a, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
}

void DemoContent::tunnelScene(CellImage&, float t, float delta) {
    const double first = TunnelBeats[0];
    const double last = TunnelBeats[kTunnelBeatCount - 1];

    // The darkened square grows from the middle of the tunnel's area in the half second
    // before it opens, and stays for the rest of the demo.
    double a = 2.0 * (t - first) + 1.0;
    a = a < 0.0 ? 0.0 : (a > 1.0 ? 1.0 : a);
    const int32_t n = static_cast<int32_t>(50.0 * a);
    const int32_t k = static_cast<int32_t>(25.0 * a);
    LayerCell shade{};
    shade.intensity = 0.0f;
    shade.palette = palettes[kTunnelSlot];
    mainLayer.fillRect(shade, BlendCoefficients{0.0f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}, 55 - k,
                       25 - k, n, n);
    mainDrawn.add(55 - k, 25 - k, n, n);

    if (t < first) return;
    double g = 1.0;
    if (t < first + 2.0) {
        g = (t - first) * 0.5;
    } else if (t > last) {
        return;
    } else if (t > last - 2.0) {
        g = (last - t) * 0.5;
    }
    tunnel.render(t, delta, kTunnelSize, kTunnelSize);
    const float gf = static_cast<float>(g);
    mainLayer.composite(tunnel.target, palettes[kTunnelSlot], kPaletteThreshold,
                        BlendCoefficients{0.0f, 1.0f, gf, 0.0f, gf, 1.0f, 0.0f}, 0, 0, kTunnelLeft,
                        0, tunnel.target.width, tunnel.target.height);
    mainDrawn.add(kTunnelLeft, 0, tunnel.target.width, tunnel.target.height);
}

void DemoContent::figureEightScene(CellImage&, float t, float) {
    for (int32_t beat = 0; beat < kFigureEightBeats; ++beat) {
        const float b = MainBeats[beat];
        if (b >= t) break;
        const float d = t - b;
        if (d > 1.0f) continue;
        // Springs open with an ease-out over the second after the beat, fading as it goes.
        const float u = static_cast<float>(2.0 * d - static_cast<double>(d) * d);
        const float size = 10.0f * u;
        const Paint paint{1.0f, 1.0f - u};
        float x0 = 40.0f;
        float y0 = 20.0f;
        float p = 0.0f;
        for (int32_t s = 0; s < kFigureEightSegments; ++s) {
            p += 0.05f;
            const float theta = 6.2831855f * p;
            const float x1 =
                static_cast<float>(40.0 + std::sin(static_cast<double>(theta)) * size * 2.5);
            const float y1 = static_cast<float>(20.0 + std::sin(2.0 * theta) * size);
            scratch.drawSegment(paint, paint, kDraw, x0, y0, x1, y1);
            scratchDrawn.add(CellArea::around(std::min(x0, x1), std::min(y0, y1), std::max(x0, x1),
                                              std::max(y0, y1)));
            x0 = x1;
            y0 = y1;
        }
    }
}
