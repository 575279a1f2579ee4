// An independent ear on the built kaveo.mp3: aubio's onset detector, with its default
// settings (512-sample window, 256-sample hop, its own threshold, silence gate and minimum
// interval), must find the events the picture keys to with each of its detection functions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <aubio/aubio.h>

#include "decoded_soundtrack.h"
#include "demo/beat_tables.h"

namespace {

using soundtrack::Decoded;
using soundtrack::nearestDistance;

constexpr unsigned kWindow = 512;
constexpr unsigned kHop = 256;
constexpr double kTolerance = 0.010; // seconds either side of an event

// Onset times in seconds found by one detection function on the mono downmix, as
// aubio's own command-line tool reports them.
std::vector<double> aubioOnsets(const Decoded& d, const char* method) {
    std::vector<double> onsets;
    aubio_onset_t* detector = new_aubio_onset(method, kWindow, kHop, soundtrack::kRate);
    fvec_t* input = new_fvec(kHop);
    fvec_t* found = new_fvec(1);
    if (detector != nullptr && input != nullptr && found != nullptr) {
        for (size_t start = 0; start < d.left.size(); start += kHop) {
            for (size_t k = 0; k < kHop; ++k) {
                const size_t i = start + k;
                input->data[k] = i < d.left.size() ? 0.5f * (d.left[i] + d.right[i]) : 0.0f;
            }
            aubio_onset_do(detector, input, found);
            if (found->data[0] > 0.0f) onsets.push_back(aubio_onset_get_last_s(detector));
        }
    }
    if (found != nullptr) del_fvec(found);
    if (input != nullptr) del_fvec(input);
    if (detector != nullptr) del_aubio_onset(detector);
    return onsets;
}

class AubioOnsets : public testing::TestWithParam<const char*> {};

TEST_P(AubioOnsets, EveryEventAndTheDropAreHeard) {
    const Decoded& d = soundtrack::track();
    ASSERT_TRUE(d.ok) << "cannot decode " << KAVEO_SOUNDTRACK_PATH;
    const std::vector<double> onsets = aubioOnsets(d, GetParam());
    ASSERT_FALSE(onsets.empty());
    const std::vector<double> events = soundtrack::namedEvents();
    int hits = 0, shiftedHits = 0;
    std::string missed;
    for (double e : events) {
        if (nearestDistance(onsets, e) <= kTolerance)
            ++hits;
        else
            missed += " " + std::to_string(e);
        // A quarter of a third off the grid there should mostly be nothing: a track of
        // constant clatter would pass the check above for the wrong reason.
        if (nearestDistance(onsets, e + 0.0467) <= kTolerance) ++shiftedHits;
    }
    const double total = static_cast<double>(events.size());
    EXPECT_GE(hits / total, 0.95) << "missed:" << missed;
    EXPECT_LT(shiftedHits / total, 0.4);
    // The drop, where the riser ends and the bubbles begin, must be heard by every function.
    EXPECT_LE(nearestDistance(onsets, MainBeats[26]), kTolerance) << "the drop";
    std::printf("aubio %s: %d of %zu events, off-grid control %d, %zu onsets, missed:%s\n",
                GetParam(), hits, events.size(), shiftedHits, onsets.size(), missed.c_str());
}

// The functions that weigh what a hit adds to each band of the spectrum. The plain energy
// and phase functions are not held to it: under the kick's energy and in noise washes (the
// break's bursts, the riser) they miss hits that stand out to a listener.
INSTANTIATE_TEST_SUITE_P(DetectionFunctions, AubioOnsets,
                         testing::Values("hfc", "specflux", "complex", "specdiff", "kl", "mkl"),
                         [](const testing::TestParamInfo<const char*>& method) {
                             return std::string(method.param);
                         });

} // namespace
