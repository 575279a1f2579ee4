// The bubble field: growth from the beats, a simple force model and the drawing.
#include "demo/bubbles.h"

#include <cmath>
#include <cstring>

#include "demo/beat_tables.h"
#include "gfx/layer.h"
#include "gfx/next_random.h"

namespace {

static_assert(kBubbleCount % 8 == 0, "the pair search reads its marks eight at a time");
constexpr int32_t kFirstReleaseBeat = 26; // bubble i is released on MainBeats[26 + i / 3]
constexpr double kGrowthPerSecond = 2.0;  // full size half a second after the release
constexpr float kMinimumMass = 0.01f;
constexpr double kGravity = 0.25;
constexpr double kContactMargin = 2.0;
constexpr double kRepulsion = 100.0;
constexpr float kAccelerationLimit = 10.0f;
constexpr double kDamping = -10.0;
constexpr float kFloor = 60.0f;     // ten rows below the visible bottom
constexpr float kRightWall = 90.0f; // ten columns right of the visible edge
constexpr float kLeftWall = -10.0f;
constexpr double kAspect = 1.2; // horizontal radius per vertical radius

} // namespace

bool BubbleField::create() {
    for (Bubble& bubble : bubbles) {
        const int32_t p = NextRandom();
        const int32_t q = NextRandom();
        const int32_t w = NextRandom();
        bubble.baseRadius = static_cast<float>(3.0 + p * static_cast<double>(9.155553e-05f));
        bubble.radius = 0.0f;
        bubble.x = static_cast<float>(q * static_cast<double>(0.0024414808f));
        bubble.y = static_cast<float>(w * static_cast<double>(0.0015259255f));
        bubble.vx = 0.0f;
        bubble.vy = 0.0f;
    }
    return true;
}

void BubbleField::update(float t, float delta) {
    for (int32_t i = 0; i < kBubbleCount; ++i) {
        double s =
            kGrowthPerSecond * (static_cast<double>(t) - MainBeats[kFirstReleaseBeat + i / 3]);
        s = s < 0.0 ? 0.0 : (s > 1.0 ? 1.0 : s);
        bubbles[i].radius = static_cast<float>(bubbles[i].baseRadius * (2.0 * s - s * s));
    }

    const float damp = static_cast<float>(std::exp(kDamping * delta));
    // Centres and radii side by side, kept in step as the bubbles move, so that the search
    // for touching pairs runs over plain arrays.
    float centreX[kBubbleCount];
    float centreY[kBubbleCount];
    float radius[kBubbleCount];
    for (int32_t i = 0; i < kBubbleCount; ++i) {
        centreX[i] = bubbles[i].x;
        centreY[i] = bubbles[i].y;
        radius[i] = bubbles[i].radius;
    }
    // A bubble of radius 0 touches nothing: the pair search ends after the last grown one
    // (the first 18 seconds have none).
    int32_t grown = 0;
    for (int32_t i = 0; i < kBubbleCount; ++i) {
        if (radius[i] != 0.0f) grown = i + 1;
    }

    for (int32_t i = 0; i < kBubbleCount; ++i) {
        Bubble& b = bubbles[i];
        float mass = static_cast<float>(static_cast<double>(b.radius) * b.radius);
        if (mass < kMinimumMass) mass = kMinimumMass;
        float fx = 0.0f;
        float fy = b.radius == 0.0f ? 0.0f : static_cast<float>(mass * kGravity);

        // Most pairs are far apart: a cheap test with a wide margin picks the few that may
        // touch, and only those take the exact test below.
        // The marks are read eight at a time, so the tail of the last eight is cleared.
        uint8_t mayTouch[kBubbleCount] = {};
        for (int32_t j = 0; j < grown; ++j) {
            const float dx = b.x - centreX[j];
            const float dy = b.y - centreY[j];
            const float reach = b.radius + radius[j] + 2.0f;
            mayTouch[j] = static_cast<uint8_t>(
                (radius[j] != 0.0f) & (dx * dx + dy * dy <= reach * reach * 1.01f + 0.01f));
        }
        mayTouch[i] = 0;

        for (int32_t j = 0; j < grown; ++j) {
            if (j % 8 == 0) {
                uint64_t marks;
                std::memcpy(&marks, mayTouch + j, sizeof marks);
                if (marks == 0) {
                    j += 7; // eight bubbles out of reach
                    continue;
                }
            }
            if (mayTouch[j] == 0) continue;
            const Bubble& other = bubbles[j];
            const float dx = b.x - other.x;
            const float dy = b.y - other.y;
            const double distanceSquared =
                static_cast<double>(dx) * dx + static_cast<double>(dy) * dy;
            const double reach = static_cast<double>(other.radius) + b.radius + kContactMargin;
            const float distance = static_cast<float>(std::sqrt(distanceSquared));
            const float overlap = static_cast<float>(reach - distance);
            if (!(overlap > 0.0f)) continue;
            const double push = std::sqrt(static_cast<double>(overlap)) * kRepulsion;
            if (distance == 0.0f) {
                // Coincident centres have no direction between them: push along +x, which
                // separates them since the other bubble then sees a non-zero distance.
                fx = static_cast<float>(fx + push);
                continue;
            }
            fx = static_cast<float>(fx + dx / static_cast<double>(distance) * push);
            fy = static_cast<float>(fy + dy / static_cast<double>(distance) * push);
        }

        float ax = fx / mass;
        float ay = fy / mass;
        const float length = static_cast<float>(
            std::sqrt(static_cast<double>(ax) * ax + static_cast<double>(ay) * ay));
        if (length > kAccelerationLimit) {
            ax = static_cast<float>(ax / static_cast<double>(length) * kAccelerationLimit);
            ay = static_cast<float>(ay / static_cast<double>(length) * kAccelerationLimit);
        }
        b.vx = static_cast<float>((b.vx + static_cast<double>(ax) * delta) * damp);
        b.vy = static_cast<float>((b.vy + static_cast<double>(ay) * delta) * damp);
        b.x += b.vx;
        b.y += b.vy;

        const float h = b.radius * 0.5f;
        if (b.y + h > kFloor) b.y = kFloor - h;
        if (b.x + h > kRightWall) b.x = kRightWall - h;
        if (b.x - h < kLeftWall) b.x = h + kLeftWall;
        centreX[i] = b.x;
        centreY[i] = b.y;
    }
}

CellArea BubbleField::draw(Layer& target, const BlendCoefficients& k, const CellArea& shown) const {
    CellArea drawn;
    const Paint body{1.0f, 0.25f};
    const Paint core{1.0f, -0.125f};
    for (const Bubble& b : bubbles) {
        // An unborn bubble has no area: the outline and both discs would draw nothing.
        if (b.radius == 0.0f) continue;
        const float r = b.radius;
        const float rx = static_cast<float>(kAspect * r);
        // The outline holds both discs.
        const CellArea area = CellArea::around(b.x - rx, b.y - r, b.x + rx, b.y + r);
        if (!area.overlaps(shown)) continue;
        target.drawRing(body, k, b.x, b.y, rx, r);
        target.drawDisc(body, k, b.x, b.y, rx, r);
        target.drawDisc(core, k, b.x, b.y, static_cast<float>(0.396 * r),
                        static_cast<float>(0.33 * r));
        drawn.add(area);
    }
    return drawn;
}

CellArea BubbleField::render(Layer& target, const BlendCoefficients& k, float t, float delta,
                             const CellArea& shown) {
    update(t, delta);
    return draw(target, k, shown);
}
