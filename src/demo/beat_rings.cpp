// The beat rings' table and drawing.
#include "demo/beat_rings.h"

#include "demo/beat_tables.h"
#include "gfx/layer.h"

namespace {

constexpr double kLifeSeconds = 1.0;
constexpr double kOutlineMargin = 3.0; // cells between the disc's edge and the outline, full-grown
constexpr double kAspect = 1.2;        // horizontal radius per vertical radius

} // namespace

const BeatRing BeatRingTable[kBeatRingCount] = {
    {20.0f, 27.0f, 4.0f, 9},   {30.0f, 38.0f, 10.0f, 10}, {5.0f, 38.0f, 11.0f, 11},
    {21.0f, 24.0f, 3.0f, 12},  {68.0f, 43.0f, 7.0f, 13},  {50.0f, 30.0f, 10.0f, 14},
    {50.0f, 30.0f, 10.0f, 15}, {15.0f, 5.0f, 5.0f, 16},   {60.0f, 25.0f, 7.0f, 17},
    {75.0f, 35.0f, 5.0f, 18},  {50.0f, 40.0f, 9.0f, 19},  {40.0f, 30.0f, 10.0f, 20},
    {30.0f, 40.0f, 9.0f, 21},  {5.0f, 40.0f, 8.0f, 22},   {15.0f, 25.0f, 10.0f, 23},
    {70.0f, 25.0f, 9.0f, 24},  {20.0f, 35.0f, 5.0f, 25},
};

CellArea BeatRings::render(Layer& target, const BlendCoefficients& k, float t) const {
    CellArea drawn;
    for (const BeatRing& ring : BeatRingTable) {
        const float age = t - MainBeats[ring.beat];
        if (age < 0.0f || age > kLifeSeconds) continue;
        const float growth = static_cast<float>((2.0 - age) * age);
        const Paint paint{1.0f, 1.0f - growth};
        const float outline = static_cast<float>((ring.size + kOutlineMargin) * growth);
        const float outlineX = static_cast<float>(kAspect * outline);
        target.drawRing(paint, k, ring.x, ring.y, outlineX, outline);
        const float body = static_cast<float>(static_cast<double>(ring.size) * growth);
        target.drawDisc(paint, k, ring.x, ring.y, static_cast<float>(kAspect * body), body);
        // The disc lies inside the outline.
        drawn.add(CellArea::around(ring.x - outlineX, ring.y - outline, ring.x + outlineX,
                                   ring.y + outline));
    }
    return drawn;
}
