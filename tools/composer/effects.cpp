// Ping-pong echo and room reverb for the soundtrack's send buses.
#include "effects.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp.h"

namespace composer {

namespace {

struct DelayLine {
    std::vector<float> buffer;
    size_t position = 0;

    explicit DelayLine(size_t length) : buffer(length, 0.0f) {}
    float read() const { return buffer[position]; }
    void write(float value) {
        buffer[position] = value;
        if (++position == buffer.size()) position = 0;
    }
};

// A feedback comb with a one-pole low-pass in the loop: the high end dies first, as in a room.
struct DampedComb {
    DelayLine line;
    float store = 0.0f;

    explicit DampedComb(size_t length) : line(length) {}
    float process(float in, float feedback, float damp) {
        const float out = line.read();
        store = out * (1.0f - damp) + store * damp;
        line.write(in + store * feedback);
        return out;
    }
};

struct AllPass {
    DelayLine line;

    explicit AllPass(size_t length) : line(length) {}
    float process(float in) {
        const float delayed = line.read();
        line.write(in + delayed * 0.5f);
        return delayed - in;
    }
};

// Mutually prime lengths (in frames) so the echoes of the combs never line up.
constexpr std::array<size_t, 8> kCombLengths = {1123, 1201, 1279, 1361, 1433, 1499, 1571, 1637};
constexpr std::array<size_t, 4> kAllPassLengths = {563, 443, 347, 229};
constexpr size_t kStereoSpread = 27;

struct ReverbSide {
    std::vector<DampedComb> combs;
    std::vector<AllPass> allPasses;

    explicit ReverbSide(size_t spread) {
        for (size_t n : kCombLengths) combs.emplace_back(n + spread);
        for (size_t n : kAllPassLengths) allPasses.emplace_back(n + spread);
    }
    float process(float in, float feedback, float damp) {
        float sum = 0.0f;
        for (DampedComb& c : combs) sum += c.process(in, feedback, damp);
        for (AllPass& a : allPasses) sum = a.process(sum);
        return sum;
    }
};

} // namespace

void addPingPongDelay(const StereoBuffer& send, StereoBuffer& out, double delaySeconds,
                      double feedback) {
    const size_t length = static_cast<size_t>(std::lround(delaySeconds * kSampleRate));
    DelayLine left(length), right(length);
    float toneL = 0.0f, toneR = 0.0f;
    const float fb = static_cast<float>(feedback);
    const float tone = 0.35f; // one-pole low-pass in the loop
    for (size_t i = 0; i < send.left.size(); ++i) {
        const float fromLeft = left.read();
        const float fromRight = right.read();
        toneL += (fromLeft - toneL) * tone;
        toneR += (fromRight - toneR) * tone;
        // The sum of both inputs enters on the left; each echo crosses to the other side.
        left.write(send.left[i] + send.right[i] + toneR * fb);
        right.write(toneL * fb);
        out.left[i] += fromLeft;
        out.right[i] += fromRight;
    }
}

void addReverb(const StereoBuffer& send, StereoBuffer& out, double size, double wet) {
    ReverbSide left(0), right(kStereoSpread);
    const float feedback = static_cast<float>(0.7 + 0.28 * size);
    const float damp = 0.3f;
    const float inputGain = 0.015f;
    // 18 ms of pre-delay keeps the attacks clear of their own tail.
    DelayLine preDelay(static_cast<size_t>(kSampleRate * 18 / 1000));
    const float w = static_cast<float>(wet);
    for (size_t i = 0; i < send.left.size(); ++i) {
        const float in = preDelay.read();
        preDelay.write((send.left[i] + send.right[i]) * inputGain);
        const float l = left.process(in, feedback, damp);
        const float r = right.process(in, feedback, damp);
        // A little cross-feed narrows the tail to a wide, not disjoint, image.
        out.left[i] += (l * 0.85f + r * 0.15f) * w;
        out.right[i] += (r * 0.85f + l * 0.15f) * w;
    }
}

} // namespace composer
