// Layers: float pictures in which every frame is composed before it becomes Cells.
// A LayerCell holds an intensity and a second word that is a Palette reference in palette
// Layers (mainLayer, backdrop) and a float alpha in alpha Layers (scratch, Textures).
// Which reading applies is the Layer's role; nothing stores it.
#pragma once

#include <cstdint>
#include <memory>

struct Palette;
struct ResourceBlob;

struct LayerCell {
    float intensity; // 0 dark .. 1 bright; values outside are clamped only when converted
    // All bits zero is both "no palette" and alpha 0.0; copying the cell keeps either reading.
    union {
        const Palette* palette; // palette Layers: non-owning, null for none
        float alpha;            // alpha Layers
    };
};

// The intensity to paint and the weight with which it covers a cell.
struct Paint {
    float value;
    float coverage;
};

// Seven weights that turn one operation into a copy, a clear, an additive or alpha blend.
// What each weighs depends on the operation (see each operation).
struct BlendCoefficients {
    float k0, k1, k2, k3, k4, k5, k6;

    // The per-cell formula of the drawing operations, on an alpha cell:
    //   I' = k0*v + k1*I + c*(k2*v + k3*I),   A' = k4*c + k5*A + k6*v
    void blendPair(LayerCell& cell, const Paint& paint) const;
};

struct Layer {
    int32_t width = 0;                  // cells per row
    int32_t height = 0;                 // rows
    std::unique_ptr<LayerCell[]> cells; // row-major

    // Allocates width x height zero cells. On failure returns false and changes nothing.
    bool create(int32_t newWidth, int32_t newHeight);

    // Builds a palette Layer of one intensity byte per cell (byte / 255), every cell
    // referring to `palette`; rows of `rowWidth` (>= 1).
    bool loadBytes(const ResourceBlob& blob, const Palette* palette, int32_t rowWidth);

    // blendPair with one Paint on every cell of the rectangle (clipRect).
    void paintRect(const Paint& paint, const BlendCoefficients& k, int32_t x, int32_t y, int32_t w,
                   int32_t h);

    // One NextRandom draw per cell in visiting order, smoothstepped to s:
    //   I' = k0*s + k1*I,  A' = k4*s + k5*A   (clipRect)
    void addNoise(const BlendCoefficients& k, int32_t x, int32_t y, int32_t w, int32_t h);

    // Moves the random sequence on exactly as addNoise over the rectangle would, drawing
    // nothing: for noise that nobody would see.
    void skipNoise(int32_t x, int32_t y, int32_t w, int32_t h) const;

    // I' = k0*Isrc + k1*I; the second word becomes the source's (clipBlit).
    void copyFrom(const Layer& source, const BlendCoefficients& k, int32_t sx, int32_t sy,
                  int32_t dx, int32_t dy, int32_t w, int32_t h);

    // Blends an alpha Layer into this palette Layer, a = source alpha clamped to 0..1:
    //   I' = k0*Isrc + k1*I + a*(k2*Isrc + k3*I); palette set where a > threshold (clipBlit).
    void composite(const Layer& source, const Palette* palette, float threshold,
                   const BlendCoefficients& k, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                   int32_t w, int32_t h);

    // I' = k0*value.intensity + k1*I; the second word becomes value's (clipRect).
    void fillRect(const LayerCell& value, const BlendCoefficients& k, int32_t x, int32_t y,
                  int32_t w, int32_t h);

    // Anti-aliased segment from (x0, y0) to (x1, y1); each end has its own Paint, both
    // interpolated along the walk. Cells outside the grid are skipped; non-finite input
    // draws nothing. (src/draw/segment.cpp)
    void drawSegment(const Paint& from, const Paint& to, const BlendCoefficients& k, float x0,
                     float y0, float x1, float y1);

    // Closed sixteen-sided outline of the ellipse at (cx, cy) with radii rx, ry.
    void drawRing(const Paint& paint, const BlendCoefficients& k, float cx, float cy, float rx,
                  float ry);

    // Filled ellipse with anti-aliased edges. Non-finite input, ry <= 0 or rx < 0 draws
    // nothing. (src/draw/disc.cpp)
    void drawDisc(const Paint& paint, const BlendCoefficients& k, float cx, float cy, float rx,
                  float ry);
};
