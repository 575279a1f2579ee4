// The arrangement of the soundtrack in A minor, 12/8 at 107.04 BPM. Time is counted in
// thirds of a beat from the start of the file; a bar is 12 thirds (2.242176 s).
//
//   thirds     seconds       section
//   0-16       0-2.99        intro: an A minor pad and drone swell in, a few bell notes
//   16-84      2.99-15.70    hits: a stab, clap and thump on every event, arpeggio grows
//   84-95.5    15.70-17.84   build: E major, snare roll, noise riser
//   95.5-144   17.84-26.91   groove: a break, the drop and tom roll, gallop bass, hook;
//                            noise-burst break 105-122
//   144-288    26.91-53.81   tunnel: the kick follows the tunnel beats; hook, then climax
//   288-314    53.81-58.67   breath on F, cadence on E
//   314-315.5  58.67-58.95   the final A minor chord, struck and faded out in the mix
//   315.5-end  58.95-62.6    silence: the music has ended before the picture does (59.0 s)
#include "score.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "demo/beat_tables.h"
#include "drums.h"
#include "dsp.h"
#include "voices.h"

namespace composer {

namespace {

// [SECTION] Harmony

enum ChordName : int { kAm, kF, kC, kG, kE };

// MIDI notes: the bass root, the pad voicing, the stab voicing and the arpeggio's tones.
struct Chord {
    int bass;
    int pad[4];
    int stab[3];
    int arp[4];
};

constexpr Chord kChords[] = {
    {33, {57, 60, 64, 69}, {69, 72, 76}, {69, 72, 76, 81}}, // A minor
    {29, {53, 57, 60, 65}, {69, 72, 77}, {65, 69, 72, 77}}, // F major
    {36, {55, 60, 64, 67}, {67, 72, 76}, {67, 72, 76, 79}}, // C major
    {31, {55, 59, 62, 67}, {67, 71, 74}, {67, 71, 74, 79}}, // G major
    {28, {56, 59, 64, 68}, {68, 71, 76}, {68, 71, 76, 80}}, // E major, the dominant
};

struct ChordChange {
    double third;
    ChordName chord;
};

// i-VI-III-VII in A minor, with E major driving the build and the cadence. The drop
// lands half a third early, on the first event of the roll.
constexpr ChordChange kProgression[] = {
    {0, kAm},    {24, kF},   {36, kC},  {48, kG},  {60, kAm},  {72, kF},   {84, kE},
    {95.5, kAm}, {108, kF},  {120, kC}, {132, kG}, {144, kAm}, {156, kF},  {168, kC},
    {180, kG},   {192, kAm}, {204, kF}, {216, kC}, {228, kG},  {240, kAm}, {252, kF},
    {264, kC},   {276, kG},  {288, kF}, {300, kE}, {314, kAm},
};
constexpr int kChangeCount = static_cast<int>(sizeof kProgression / sizeof kProgression[0]);

const Chord& chordAt(double third) {
    int found = 0;
    for (int i = 0; i < kChangeCount; ++i)
        if (kProgression[i].third <= third + 1e-6) found = i;
    return kChords[kProgression[found].chord];
}

// [SECTION] Form

constexpr double kDrop = 95.5;        // the first event of the roll, the end of the riser
constexpr double kGrooveStart = 98.0; // the drums' pattern starts after the roll
constexpr double kBreakStart = 105.0; // the noise bursts on screen
constexpr double kBreakEnd = 122.0;
constexpr double kTunnelStart = 144.0;
constexpr double kClimax = 240.0;
constexpr double kBreath = 288.0;
constexpr double kCadence = 300.0;
constexpr double kFinal = 314.0;
// The final chord is held this long (thirds); the master fader takes its tail to silence at
// kSilence, comfortably before the demo stops at 59.0 s.
constexpr double kFinalHold = 1.5;
constexpr double kSilence = 58.9;
// Before the drop the whole mix breaks off for an eighth of a beat, so the drop lands on
// near-silence instead of the riser's noise.
constexpr double kDropBreakSeconds = kBeatSeconds / 8.0;
constexpr float kDropBreakDepth = 0.001f; // -60 dB

bool inBreak(double third) {
    return third >= kBreakStart && third < kBreakEnd;
}
bool grooveDrumsAt(double third) {
    return (third >= kGrooveStart && third < kBreath && !inBreak(third)) ||
           (third >= kCadence && third < kFinal);
}
double t(double third) {
    return thirdsToSeconds(third);
}
double thirdOf(float seconds) {
    return std::round(seconds / kThirdSeconds * 2.0) * 0.5;
}

// [SECTION] Hook

struct ScoreNote {
    double third;
    double length; // thirds
    int pitch;
};

// Four bars over Am F C G: a call in the first two bars that returns, an answer that climbs
// to C6 and falls back to G.
constexpr ScoreNote kHook[] = {
    {0, 2, 76},  {2, 1, 74},  {3, 2, 76},  {5, 1, 81},  {6, 3, 79},  {9, 2, 76},  {11, 1, 74},
    {12, 2, 72}, {14, 1, 74}, {15, 3, 76}, {18, 2, 72}, {20, 4, 69}, {24, 2, 76}, {26, 1, 79},
    {27, 3, 84}, {30, 2, 83}, {32, 1, 79}, {33, 3, 76}, {36, 2, 74}, {38, 1, 71}, {39, 2, 74},
    {41, 1, 79}, {42, 2, 74}, {44, 1, 71}, {45, 3, 67},
};

// Over the E major cadence: down to the leading tone and up to the tonic on the last event.
constexpr ScoreNote kCadenceLine[] = {
    {300, 2, 76}, {302, 1, 74}, {303, 3, 71}, {306, 2, 68},
    {308, 1, 71}, {309, 2, 76}, {311, 3, 80}, {314, kFinalHold, 81},
};

// [SECTION] Mixer channels

constexpr Channel kKickCh{1.0f, 0.04f, 0.0f, 0.0f, false};
constexpr Channel kSnareCh{0.9f, 0.3f, 0.0f, 0.05f, false};
constexpr Channel kClapCh{0.85f, 0.35f, 0.05f, -0.1f, false};
constexpr Channel kHatCh{0.9f, 0.06f, 0.0f, 0.3f, false};
constexpr Channel kTomCh{0.9f, 0.25f, 0.0f, 0.0f, false};
constexpr Channel kCrashCh{0.7f, 0.3f, 0.0f, -0.2f, false};
constexpr Channel kFxCh{0.8f, 0.45f, 0.0f, 0.0f, false};
constexpr Channel kImpactCh{0.9f, 0.15f, 0.0f, 0.0f, false};
constexpr Channel kStabCh{0.8f, 0.35f, 0.12f, 0.0f, true};
constexpr Channel kPadCh{0.75f, 0.5f, 0.0f, 0.0f, true};
constexpr Channel kBassCh{1.0f, 0.0f, 0.0f, 0.0f, true};
constexpr Channel kSubCh{1.0f, 0.0f, 0.0f, 0.0f, false};
constexpr Channel kLeadCh{0.8f, 0.3f, 0.28f, 0.0f, false};

Channel panned(Channel c, float pan) {
    c.pan = pan;
    return c;
}

// [SECTION] Parts

struct KickHit {
    double time;
    double velocity;
    float duck;
};

// Every kick of the track, so the side-chain can be laid before anything it ducks.
std::vector<KickHit> planKicks(Noise& rng) {
    std::vector<KickHit> kicks;
    // A soft thump under each event of the hits section.
    for (int i = 0; i <= 25; ++i) kicks.push_back({MainBeats[i], rng.range(0.5, 0.62), 0.25f});
    // Four on the floor through the build.
    for (double th = 84; th < kDrop; th += 3)
        kicks.push_back({t(th), 0.55 + (th - 84) * 0.04, 0.3f});
    kicks.push_back({MainBeats[26], 1.0, 0.6f});
    // The groove before the tunnel: beats one and three, a soft pickup before the bar.
    for (double th = kGrooveStart; th < kTunnelStart; th += 1) {
        if (!grooveDrumsAt(th)) continue;
        const int pos = static_cast<int>(th) % 12;
        if (pos == 0 || pos == 6) kicks.push_back({t(th), rng.range(0.9, 1.0), 0.5f});
        if (pos == 11) kicks.push_back({t(th), rng.range(0.5, 0.6), 0.3f});
    }
    // Booms under the two big events of the break.
    kicks.push_back({MainBeats[33], 0.9, 0.5f});
    kicks.push_back({MainBeats[34], 0.9, 0.5f});
    // In the tunnel every kick is a tunnel beat, each one lurching the picture forward.
    for (int i = 0; i < kTunnelBeatCount; ++i)
        kicks.push_back(
            {TunnelBeats[i], i == kTunnelBeatCount - 1 ? 1.0 : rng.range(0.9, 1.0), 0.55f});
    return kicks;
}

void renderDrums(Mix& mix, Noise& rng, const std::vector<KickHit>& kicks) {
    for (const KickHit& k : kicks) renderKick(mix, kKickCh, k.time, k.velocity);

    // Triplet hats: strong on the beat, lighter on the two thirds between.
    constexpr double kHatAccent[12] = {1.0,  0.45, 0.62, 0.85, 0.45, 0.62,
                                       0.95, 0.45, 0.62, 0.85, 0.5,  0.7};
    uint32_t seed = 1;
    for (double th = 48; th < kFinal; th += 1) {
        const int pos = static_cast<int>(th) % 12;
        double level;
        if (th < 84)
            level = 0.35 * (th - 36) / 48.0; // creeping in under the hits
        else if (th < kDrop)
            level = 0.5 + 0.4 * (th - 84) / 11.5;
        else if (grooveDrumsAt(th))
            level = 0.8;
        else
            continue;
        const bool open = pos == 11 && static_cast<int>(th / 12) % 2 == 1 && th >= kGrooveStart;
        renderHat(mix, panned(kHatCh, pos % 3 == 0 ? 0.25f : 0.4f), t(th),
                  level * kHatAccent[pos] * rng.range(0.88, 1.1), open ? 0.32 : 0.05, ++seed);
    }

    // Backbeat on beats two and four, with ghost notes that make it shuffle.
    for (double th = kGrooveStart; th < kFinal; th += 1) {
        if (!grooveDrumsAt(th)) continue;
        const int pos = static_cast<int>(th) % 12;
        if (pos == 3 || pos == 9) renderSnare(mix, kSnareCh, t(th), rng.range(0.85, 1.0), ++seed);
        if (pos == 8 && static_cast<int>(th / 12) % 2 == 0)
            renderSnare(mix, kSnareCh, t(th), rng.range(0.18, 0.26), ++seed);
    }

    // The build: a roll in thirds, then in sixths, swelling into the drop.
    for (double th = 84; th < kDrop; th += th < 90 ? 1.0 : 0.5)
        renderSnare(mix, kSnareCh, t(th), 0.15 + 0.85 * std::pow((th - 84) / 11.5, 1.5), ++seed);
    renderRiser(mix, kFxCh, MainBeats[26] - 2.5, MainBeats[26] - kDropBreakSeconds, 1.4, 0xA11CEu);

    // The drop cracks across the whole spectrum out of the break before it.
    renderImpact(mix, kImpactCh, MainBeats[26], 0.6, 0.08, ++seed);
    // Events that would drown: the drop's roll under the drop's crash, the event inside
    // the break's second noise burst, the return out of the break's long burst, the one
    // right after the tunnel's first crash and one between two tunnel kicks. A short crack
    // of their own lets each one cut through.
    for (int i : {27, 28, 29, 35, 37, 47, 55})
        renderImpact(mix, kImpactCh, MainBeats[i], 0.6, 0.04, ++seed);

    // The drop's tom roll (events 27-29) and the tunnel's roll (events 75-79).
    const double dropToms[] = {220.0, 175.0, 140.0};
    for (int i = 0; i < 3; ++i)
        renderTom(mix, kTomCh, MainBeats[27 + i], 0.95 - 0.05 * i, dropToms[i]);
    const double tunnelToms[] = {262.0, 230.0, 196.0, 165.0, 139.0};
    for (int i = 0; i < 5; ++i)
        renderTom(mix, kTomCh, MainBeats[75 + i], 0.75 + 0.05 * i, tunnelToms[i]);

    // Crashes mark the drop, the return after the break, the tunnel, the end of its roll,
    // the climax and the last chord. The drop's crash stays low, under its own crack, so the
    // roll right after it cuts through.
    const double crashes[][2] = {{MainBeats[26], 0.4},  {MainBeats[37], 0.9},
                                 {TunnelBeats[0], 0.9}, {MainBeats[80], 0.9},
                                 {t(kClimax), 0.9},     {TunnelBeats[kTunnelBeatCount - 1], 0.9}};
    for (const auto& c : crashes) renderCrash(mix, kCrashCh, c[0], c[1], ++seed);

    // The break's noise bursts sit exactly where the screen bursts into noise.
    const double bursts[] = {MainBeats[33], MainBeats[33] + 0.5, MainBeats[34],
                             MainBeats[34] + 0.5};
    for (double b : bursts) renderNoiseBurst(mix, kFxCh, b, 0.25, 0.9, ++seed);
    // The long burst and its riser stop a sixteenth of a beat short of the return, which then
    // strikes out of a gap as the drop does.
    const double gap = kDropBreakSeconds / 2.0;
    renderNoiseBurst(mix, kFxCh, MainBeats[36], MainBeats[37] - gap - MainBeats[36], 0.7, ++seed);
    renderRiser(mix, kFxCh, MainBeats[36] - 0.8, MainBeats[37] - gap, 0.8, 0xB0B0u);
}

// The events of the beat table: a chord stab on each, with a clap in the hits section and
// lighter in the groove. The rolls are carried by the toms instead.
void renderHits(Mix& mix, Noise& rng) {
    uint32_t seed = 100;
    for (int i = 0; i < kMainBeatCount; ++i) {
        if (i > 0 && MainBeats[i] == MainBeats[i - 1]) continue; // one event written twice
        const double time = MainBeats[i];
        const double third = thirdOf(MainBeats[i]);
        const bool roll = (i >= 27 && i <= 29) || (i >= 75 && i <= 79);
        const bool onBeat = std::fmod(third, 3.0) == 0.0;
        double velocity = (onBeat ? 1.0 : 0.86) * rng.range(0.9, 1.05);
        // The hits section sits lower than the groove; its last hits yield to the riser.
        if (i <= 21)
            velocity *= 0.8;
        else if (i <= 25)
            velocity *= 0.62;
        if (i >= 66) velocity *= 0.85;
        const Chord& chord = chordAt(third);
        if (!roll) {
            for (int k = 0; k < 3; ++k) {
                const Note n{time, 0.2, static_cast<double>(chord.stab[k]), velocity};
                renderStabNote(mix, panned(kStabCh, -0.35f + 0.35f * static_cast<float>(k)), n,
                               ++seed);
            }
        }
        if (i <= 25) {
            renderClap(mix, kClapCh, time, velocity, ++seed);
            renderBassNote(mix, kBassCh,
                           {time, t(1.5), static_cast<double>(chord.bass + 12), velocity});
        } else if (!roll) {
            renderClap(mix, kClapCh, time, velocity * 0.5, ++seed);
        }
    }
}

void renderBass(Mix& mix, Noise& rng) {
    // The intro's drone and the last chord's root.
    renderSubNote(mix, kSubCh, {0.0, t(16), 33.0, 0.45}, 2.6, 0.8);
    // The build pulses on E, louder with every third.
    for (double th = 84; th < kDrop; th += 1)
        renderBassNote(mix, kBassCh,
                       {t(th), t(0.8), th - std::floor(th / 2) * 2 == 0 ? 28.0 : 40.0,
                        0.5 + 0.5 * (th - 84) / 11.5});
    renderBassNote(mix, kBassCh, {t(kDrop), t(2.3), 33.0, 1.0});
    // A galloping octave line: root, octave, root, octave on every beat's thirds.
    for (double th = kGrooveStart; th < kFinal; th += 1) {
        const int pos = static_cast<int>(th) % 3;
        const Chord& chord = chordAt(th);
        if (inBreak(th) || (th >= kBreath && th < kCadence)) continue;
        if (pos == 1) continue;
        const bool octave = pos == 2;
        const double velocity = (octave ? 0.7 : 0.95) * rng.range(0.92, 1.05);
        renderBassNote(mix, kBassCh,
                       {t(th), t(octave ? 0.8 : 1.7),
                        static_cast<double>(chord.bass + (octave ? 12 : 0)), velocity});
    }
    // The break holds long roots; so does the breath before the cadence.
    renderBassNote(mix, kBassCh, {MainBeats[33], t(108 - 105), 33.0, 0.9});
    renderBassNote(mix, kBassCh, {t(108), t(12), 29.0, 0.8});
    renderBassNote(mix, kBassCh, {t(120), t(2), 36.0, 0.8});
    renderBassNote(mix, kBassCh, {t(kBreath), t(12), 29.0, 0.85});
    renderBassNote(mix, kBassCh, {t(kFinal), t(kFinalHold), 33.0, 0.55});
    renderSubNote(mix, kSubCh, {t(kFinal), t(kFinalHold), 33.0, 0.5}, 0.01, 0.3);
}

void renderPads(Mix& mix) {
    for (int i = 0; i < kChangeCount; ++i) {
        const double start = kProgression[i].third;
        const double end = i + 1 < kChangeCount ? kProgression[i + 1].third : kFinal + kFinalHold;
        double brightness = 2000.0, attack = 0.3, level = 0.75;
        if (start < 16) {
            brightness = 900.0;
            attack = 2.8;
            level = 0.6;
        } else if (start < 84) {
            brightness = 1300.0;
            level = 0.55;
        } else if (start < kDrop) {
            brightness = 2400.0;
            attack = 1.2;
            level = 0.9;
        } else if (start >= 108 && start < kBreakEnd) {
            brightness = 3200.0;
            level = 1.0;
        } else if (start >= kBreath && start < kFinal) {
            brightness = 1500.0;
            level = 0.95;
        } else if (start >= kFinal) {
            brightness = 1200.0;
            attack = 0.05;
            level = 0.5;
        }
        const Chord& chord = kChords[kProgression[i].chord];
        for (int k = 0; k < 4; ++k) {
            const Note n{t(start), t(end - start), static_cast<double>(chord.pad[k]), level};
            renderPadNote(mix, kPadCh, n, attack, brightness, static_cast<uint32_t>(i * 8 + k + 1));
        }
    }
}

void renderArpeggio(Mix& mix, Noise& rng) {
    constexpr int kPattern[12] = {0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1};
    for (double th = 36; th < kBreath; th += 1) {
        double level, cutoff;
        if (th < 84) {
            level = 0.55;
            cutoff = 600.0 + 2000.0 * (th - 36) / 48.0;
        } else if (th < kDrop) {
            level = 0.65;
            cutoff = 2600.0 + 2400.0 * (th - 84) / 11.5;
        } else if (th >= kTunnelStart && th < 192) {
            level = 0.55;
            cutoff = 2200.0;
        } else if (th >= 192 && th < kClimax) {
            level = 0.35;
            cutoff = 1800.0;
        } else if (th >= kClimax) {
            level = 0.45;
            cutoff = 3000.0;
        } else
            continue;
        const int pos = static_cast<int>(th) % 12;
        const Chord& chord = chordAt(th);
        const double accent = pos % 3 == 0 ? 1.0 : 0.75;
        renderPluckNote(mix, panned(kLeadCh, pos % 2 == 0 ? -0.6f : 0.6f),
                        {t(th), t(0.9), static_cast<double>(chord.arp[kPattern[pos]]),
                         level * accent * rng.range(0.9, 1.05)},
                        cutoff);
    }
}

void playLine(Mix& mix, const ScoreNote* notes, int count, double offset, bool lead, int transpose,
              double velocity, double lastThird) {
    double previous = notes[0].pitch + transpose;
    for (int i = 0; i < count; ++i) {
        const ScoreNote& s = notes[i];
        if (s.third >= lastThird) break;
        const double pitch = s.pitch + transpose;
        // Long notes are played legato, short ones slightly detached.
        const double length = t(s.length) * (s.length >= 3 ? 0.98 : 0.85);
        const double accent = std::fmod(s.third, 3.0) == 0.0 ? 1.0 : 0.85;
        const Note n{t(offset + s.third), length, pitch, velocity * accent};
        if (lead)
            renderLeadNote(mix, kLeadCh, n, previous);
        else
            renderBellNote(mix, panned(kLeadCh, i % 2 == 0 ? -0.3f : 0.3f), n);
        previous = pitch;
    }
}

void renderMelody(Mix& mix) {
    constexpr int kHookCount = static_cast<int>(sizeof kHook / sizeof kHook[0]);
    // A few bell notes over the intro's swell.
    const ScoreNote intro[] = {{4, 3, 81}, {7, 3, 76}, {10, 3, 84}, {13, 3, 83}};
    playLine(mix, intro, 4, 0, false, 0, 0.35, 1e9);
    // The first half of the hook, as a bell, teases it in the hits section.
    playLine(mix, kHook, kHookCount, 60, false, 0, 0.55, 24);
    // The full hook on the lead: the groove, then twice in the tunnel, the second time
    // doubled by the bell an octave up.
    playLine(mix, kHook, kHookCount, 96, true, 0, 1.0, 1e9);
    playLine(mix, kHook, kHookCount, 192, true, 0, 1.0, 1e9);
    playLine(mix, kHook, kHookCount, kClimax, true, 0, 1.0, 1e9);
    playLine(mix, kHook, kHookCount, kClimax, false, 12, 0.45, 1e9);
    constexpr int kCadenceCount = static_cast<int>(sizeof kCadenceLine / sizeof kCadenceLine[0]);
    playLine(mix, kCadenceLine, kCadenceCount, 0, true, 0, 0.8, 1e9);
    playLine(mix, kCadenceLine + kCadenceCount - 1, 1, 0, false, 0, 0.45, 1e9);
}

} // namespace

void composeTrack(Mix& mix) {
    // One random source, drawn in a fixed order, humanises every velocity.
    Noise rng(0x6B61u);
    const std::vector<KickHit> kicks = planKicks(rng);
    for (const KickHit& k : kicks) mix.duckAt(secondsToFrame(k.time), k.duck);
    renderDrums(mix, rng, kicks);
    renderHits(mix, rng);
    renderBass(mix, rng);
    renderPads(mix);
    renderArpeggio(mix, rng);
    renderMelody(mix);

    const double drop = MainBeats[26];
    mix.breakBetween(secondsToFrame(drop - kDropBreakSeconds), secondsToFrame(drop),
                     kDropBreakDepth);
    mix.fadeOutBetween(secondsToFrame(t(kFinal) + 0.03), secondsToFrame(kSilence));
}

} // namespace composer
