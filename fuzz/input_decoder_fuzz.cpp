// Fuzzes InputDecoder with what a terminal could send: any bytes, split into reads of any
// size, at any times (the millisecond counter wrapping included), with the decoder's
// settings taken from the input too. Checks what the controls rely on after every step, and
// that the reads' bytes give the same records and answers in one read as split into those
// reads when they all come at the start time (so no Escape timeout fires between them).
//
// Input: flags byte (bit 0 mouse on, bit 1 terminal reports releases, bits 2-3 the layout:
// cells, wide, half, cells; bit 4 the terminal reports the pointer in 8 x 16 pixels), the
// picture's origin column and row on the terminal (signed bytes), 4 bytes of start time; then
// reads, each a header of two bytes (length in the low 7 bits, bit 7 set: decode after it; the gap
// before it in milliseconds: 0-127 as such, 128-255 as (n - 128) x 16) and that many bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/input_decoder.h"

namespace {

constexpr int32_t kPictureWidth = 80;
constexpr int32_t kPictureHeight = 50;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "input decoder: %s\n", what);
    std::abort();
}

void checkState(const InputDecoder& d) {
    check(d.length <= InputDecoder::kBufferSize, "more bytes pending than the buffer holds");
    check(d.queueCount <= InputDecoder::kQueueSize, "more records queued than the queue holds");
    check(d.queueHead < InputDecoder::kQueueSize, "queue head outside the queue");
}

void checkRecord(const InputDecoder& d, const InputRecord& r) {
    if (r.eventType == kKeyEvent) {
        check(r.key.repeatCount == 1, "key record with a repeat count other than 1");
        check(r.key.virtualKeyCode != 0 || (r.key.asciiChar > ' ' && r.key.asciiChar < 0x7F),
              "key record with neither a key code nor a printable character");
        return;
    }
    check(r.eventType == kMouseEvent, "record of an unknown type");
    check(d.mouseEnabled, "mouse record while the mouse is off");
    // The controls index the picture with these: every position is clamped into it.
    check(r.mouse.column >= 0 && r.mouse.column < kPictureWidth && r.mouse.row >= 0 &&
              r.mouse.row < kPictureHeight,
          "mouse record outside the picture");
    const uint32_t buttons =
        kFromLeft1stButtonPressed | kRightmostButtonPressed | kFromLeft2ndButtonPressed;
    check((r.mouse.buttonState & ~buttons) == 0, "mouse record with unknown button bits");
    check(r.mouse.eventFlags == 0 || r.mouse.eventFlags == kMouseMoved ||
              r.mouse.eventFlags == kDoubleClick,
          "mouse record with unknown event flags");
}

// Every record comes from at least one byte, and a byte gives at most a press and a release:
// a decoder that loops without consuming shows up past this many.
constexpr size_t kMaxRecords = 2 * InputDecoder::kBufferSize + InputDecoder::kQueueSize;

// The records one run of the decoder gave, in order.
struct Records {
    InputRecord list[kMaxRecords];
    size_t count = 0;
};

// Takes every record the decoder has at nowMs (into `kept` when given); returns how many.
size_t drain(InputDecoder& d, uint32_t nowMs, Records* kept = nullptr) {
    size_t count = 0;
    InputRecord record{};
    while (d.next(record, nowMs)) {
        checkRecord(d, record);
        checkState(d);
        check(++count <= kMaxRecords, "records without end");
        if (kept) {
            check(kept->count < kMaxRecords, "records without end");
            kept->list[kept->count++] = record;
        }
    }
    checkState(d);
    return count;
}

bool sameRecord(const InputRecord& a, const InputRecord& b) {
    if (a.eventType != b.eventType) return false;
    if (a.eventType == kKeyEvent)
        return a.key.keyDown == b.key.keyDown && a.key.repeatCount == b.key.repeatCount &&
               a.key.virtualKeyCode == b.key.virtualKeyCode && a.key.asciiChar == b.key.asciiChar;
    return a.mouse.column == b.mouse.column && a.mouse.row == b.mouse.row &&
           a.mouse.buttonState == b.mouse.buttonState && a.mouse.eventFlags == b.mouse.eventFlags;
}

bool sameAnswers(const TerminalAnswers& a, const TerminalAnswers& b) {
    return a.primaryAttributes == b.primaryAttributes &&
           a.secondaryAttributes == b.secondaryAttributes && a.terminalType == b.terminalType &&
           a.terminalVersion == b.terminalVersion && a.synchronizedOutput == b.synchronizedOutput &&
           std::strcmp(a.version, b.version) == 0 &&
           std::memcmp(a.paletteColor, b.paletteColor, sizeof a.paletteColor) == 0 &&
           std::memcmp(a.paletteKnown, b.paletteKnown, sizeof a.paletteKnown) == 0;
}

// A fresh decoder with the settings of the input's first byte and origin.
void setUp(InputDecoder& d, const uint8_t* data) {
    d = InputDecoder{};
    d.mouseEnabled = (data[0] & 1) != 0;
    d.terminalReportsReleases = (data[0] & 2) != 0;
    constexpr DisplayLayout kLayouts[4] = {DisplayLayout::Cells, DisplayLayout::Wide,
                                           DisplayLayout::Half, DisplayLayout::Cells};
    if ((data[0] & 16) != 0) {
        d.pointer.cellPixelWidth = 8;
        d.pointer.cellPixelHeight = 16;
        d.pixelReports = true;
    }
    d.pointer.set(kLayouts[(data[0] >> 2) & 3], kPictureWidth, kPictureHeight,
                  static_cast<int8_t>(data[1]), static_cast<int8_t>(data[2]));
}

// The reads' bytes (as many as the buffer holds) in one read and in the input's reads, all
// at `start`: the same records and answers.
void checkSplits(const uint8_t* data, size_t size, uint32_t start) {
    static InputDecoder whole;
    static InputDecoder split;
    static Records wholeRecords;
    static Records splitRecords;
    static uint8_t bytes[InputDecoder::kBufferSize];
    setUp(whole, data);
    setUp(split, data);
    wholeRecords.count = 0;
    splitRecords.count = 0;
    size_t total = 0;
    for (size_t at = 7; at + 2 <= size && total < sizeof bytes;) {
        const size_t length = data[at] & 0x7F;
        const bool decode = (data[at] & 0x80) != 0;
        at += 2;
        size_t count = length < size - at ? length : size - at;
        if (count > sizeof bytes - total) count = sizeof bytes - total;
        std::memcpy(bytes + total, data + at, count);
        split.feed(data + at, count, start);
        if (decode) drain(split, start, &splitRecords);
        total += count;
        at += count;
    }
    whole.feed(bytes, total, start);
    drain(whole, start, &wholeRecords);
    drain(whole, start + InputDecoder::kEscapeTimeoutMs, &wholeRecords);
    drain(split, start, &splitRecords);
    drain(split, start + InputDecoder::kEscapeTimeoutMs, &splitRecords);
    check(wholeRecords.count == splitRecords.count, "split reads gave another number of records");
    for (size_t i = 0; i < wholeRecords.count; ++i)
        check(sameRecord(wholeRecords.list[i], splitRecords.list[i]),
              "split reads gave another record");
    check(sameAnswers(whole.answers, split.answers), "split reads gave other answers");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 7) return 0;
    static InputDecoder d; // 4 KB of buffer: kept out of the stack, reset on every input
    setUp(d, data);
    const uint32_t start = static_cast<uint32_t>(data[3]) | static_cast<uint32_t>(data[4]) << 8 |
                           static_cast<uint32_t>(data[5]) << 16 |
                           static_cast<uint32_t>(data[6]) << 24;
    uint32_t now = start;
    size_t at = 7;
    while (at + 2 <= size) {
        const size_t length = data[at] & 0x7F;
        const bool decode = (data[at] & 0x80) != 0;
        const uint8_t gap = data[at + 1];
        at += 2;
        now += gap < 128 ? gap : static_cast<uint32_t>(gap - 128) * 16u;
        const size_t count = length < size - at ? length : size - at;
        const size_t before = d.length;
        d.feed(data + at, count, now);
        checkState(d);
        check(d.length == before + (count < InputDecoder::kBufferSize - before
                                        ? count
                                        : InputDecoder::kBufferSize - before),
              "feed kept other than what fits");
        at += count;
        if (decode) drain(d, now);
    }
    // Once the escape timeout has passed with nothing new, nothing may stay pending: a lone
    // Escape is delivered and an unfinished sequence is dropped.
    drain(d, now + InputDecoder::kEscapeTimeoutMs);
    check(d.length == 0, "bytes still pending after the escape timeout");
    checkSplits(data, size, start);
    return 0;
}
