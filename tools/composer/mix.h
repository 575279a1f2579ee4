// The mixing desk: a dry stereo bus, sends to the reverb and the delay, the kick's
// side-chain that makes the sustained parts breathe with the drums, and the master fader
// that rides the finished bus (the break before the drop, the closing fade).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace composer {

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    void resize(int32_t frames) {
        left.assign(static_cast<size_t>(frames), 0.0f);
        right.assign(static_cast<size_t>(frames), 0.0f);
    }
};

// Where a voice goes: its level on each bus and its place in the stereo field
// (pan -1 = left, +1 = right), and whether the kick ducks it.
struct Channel {
    float dry = 1.0f;
    float reverb = 0.0f;
    float delay = 0.0f;
    float pan = 0.0f;
    bool ducked = false;
};

struct Mix {
    int32_t frames = 0;
    StereoBuffer dry;
    StereoBuffer reverbSend;
    StereoBuffer delaySend;
    std::vector<float> duck;   // gain per frame, 1 = untouched
    std::vector<float> master; // gain per frame on the finished bus, effects included

    void allocate(int32_t frameCount);
    // Adds one stereo sample at frame; frames outside the track are dropped.
    void add(int32_t frame, double left, double right, const Channel& channel) {
        if (frame < 0 || frame >= frames) return;
        const size_t i = static_cast<size_t>(frame);
        const float l = static_cast<float>(left) * panLeft(channel.pan);
        const float r = static_cast<float>(right) * panRight(channel.pan);
        const float d = channel.ducked ? duck[i] : 1.0f;
        dry.left[i] += l * channel.dry * d;
        dry.right[i] += r * channel.dry * d;
        reverbSend.left[i] += l * channel.reverb * d;
        reverbSend.right[i] += r * channel.reverb * d;
        delaySend.left[i] += l * channel.delay * d;
        delaySend.right[i] += r * channel.delay * d;
    }
    // Pulls the ducked parts down at each kick and lets them swell back.
    void duckAt(int32_t frame, float depth);
    // Takes the whole mix down to depth (a gain) over [from, to): a 10 ms dip into the
    // break and a 1 ms return at to, so whatever strikes at to starts from near-silence.
    void breakBetween(int32_t from, int32_t to, float depth);
    // Fades the whole mix out from from to to (raised cosine) and leaves it silent after.
    void fadeOutBetween(int32_t from, int32_t to);
    // Applies the master fader to the finished bus, which must hold frames frames.
    void applyMaster(StereoBuffer& bus) const;

  private:
    // Linear balance: centre leaves both sides at unity.
    static float panLeft(float pan) { return pan > 0.0f ? 1.0f - pan : 1.0f; }
    static float panRight(float pan) { return pan < 0.0f ? 1.0f + pan : 1.0f; }
};

} // namespace composer
