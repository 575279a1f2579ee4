// Mastering of the finished mix: DC removal, edge fades, a look-ahead peak limiter and the
// loudness loop that brings the track to its target, measured with libebur128.
#pragma once

#include <cstdint>
#include <vector>

#include "mix.h"

namespace composer {

struct LoudnessReading {
    double integratedLufs = 0.0;
    double truePeakDb = 0.0;   // dB relative to full scale, over both channels
    double samplePeakDb = 0.0; // the same without inter-sample peaks
};

// EBU R 128 integrated loudness of a stereo buffer, and with withPeaks its true and sample
// peaks (the costly part). False if libebur128 fails or the buffer is silent.
bool measureLoudness(const StereoBuffer& audio, bool withPeaks, LoudnessReading& reading);

// Per frame, the largest magnitude of either side at the frame and at three points of the
// reconstructed wave between it and the next frame (4x oversampling).
std::vector<float> peakEnvelope(const StereoBuffer& audio);

// A high-pass at a few hertz on both sides: removes any DC the synthesis left.
void removeDc(StereoBuffer& audio);

// A steep low-pass: the encoder drops everything above about 17 kHz anyway, and
// removing it first keeps the decoded loudness and peaks the same as the master's.
void lowPassMaster(StereoBuffer& audio, double cutoffHz);

// Raised-cosine fade-in over the first fadeInSeconds and fade-out from fadeOutStart to the
// end, so the file starts and stops without a click.
void applyEdgeFades(StereoBuffer& audio, double fadeInSeconds, double fadeOutStart);

// Scales by gainDb and holds every peak of peaks (the peakEnvelope of audio before the
// gain) at or below ceilingDb. The gain reacts ahead of each peak (look-ahead of about
// 1.5 ms) and recovers with the release time, so it never overshoots.
void limitPeaks(StereoBuffer& audio, const std::vector<float>& peaks, double gainDb,
                double ceilingDb, double releaseSeconds);

// Brings a mix to targetLufs with its peaks below ceilingDb. The input is left untouched;
// out receives the master and reading its loudness (peaks not measured). False if a
// loudness measurement fails.
bool masterTrack(const StereoBuffer& mix, double targetLufs, double ceilingDb, StereoBuffer& out,
                 LoudnessReading& reading);

} // namespace composer
