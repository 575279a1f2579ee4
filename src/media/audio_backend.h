// The audio back end: the few calls MusicClock makes to play the soundtrack. One back end
// per platform (audio_sdl2_mpg123.cpp, audio_win32.cpp), chosen when linking; the clock's
// tests link a fake.
//
// Glossary. A sample frame is one instant of sound, one sample per channel (4 bytes of
// 16-bit stereo); positions are counts of sample frames from the first frame of the music,
// after any encoder delay. A stream is one MP3 decoded from memory while it plays, named by
// a non-zero handle; 0 means none.
//
// Threads: every call is made from the main thread. The back end decodes and plays on a
// thread of its own, which shares nothing with the caller except through these calls.
#pragma once

#include <cstdint>

using AudioStream = uint32_t;

// Opens the default sound output and keeps it running. False when no output opens; then
// nothing is left open. Output is 44,100 frames per second.
bool audioInit();
// Closes the output and frees every stream. Harmless when audioInit failed or never ran.
void audioFree();

// Creates a stream from the MP3 file in `data` (`size` bytes), which must stay valid and
// unchanged until the stream is freed: nothing is copied or decoded ahead. The stream
// starts paused at position 0. Returns 0 when the output is not open, the bytes are not an
// MP3 the decoder can read, or a stream already exists (the back end holds one at a time).
AudioStream audioStreamCreate(const uint8_t* data, uint32_t size);
// Frees a stream. Harmless for 0, for an unknown handle and after audioFree.
void audioStreamFree(AudioStream stream);

// Plays from position 0 (`restart`) or from the current position.
void audioPlay(AudioStream stream, bool restart);
// Pauses; the position stays where the sound stopped.
void audioPause(AudioStream stream);

// The playing position in sample frames. It advances smoothly from one call to the next
// (not by whole output buffers) and stops at the end of the stream; 0 for an unknown handle.
uint64_t audioGetPosition(AudioStream stream);
// Moves the stream to `frames`, past the end to the end. A playing stream goes on from there.
void audioSetPosition(AudioStream stream, uint64_t frames);

// Converts between positions and seconds. A negative or non-finite time gives 0; the
// stream's own rate is used, and an unknown handle gives 0.
float audioPositionToSeconds(AudioStream stream, uint64_t frames);
uint64_t audioSecondsToPosition(AudioStream stream, float seconds);
