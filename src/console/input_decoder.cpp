// The terminal input decoder: plain bytes, CSI/SS3 key sequences, the kitty keyboard
// protocol and SGR mouse reports become InputRecords.
#include "console/input_decoder.h"

#include <cstring>

namespace {

constexpr uint8_t kEsc = 0x1B;

// What one step of decoding found at the front of the buffer.
enum class Step { Consumed, NeedMore };

// Event types of the kitty protocol; kNoEventType when the report does not say.
constexpr uint32_t kNoEventType = 0;
constexpr uint32_t kPress = 1;
constexpr uint32_t kRepeat = 2;
constexpr uint32_t kRelease = 3;

constexpr size_t kMaxFields = 8;
constexpr size_t kMaxSubfields = 4;

// The parameters of one CSI sequence: fields split by ';', sub-fields by ':'. An absent
// number reads as 0 and `present` tells it from a written 0.
struct CsiParams {
    uint8_t prefix = 0; // '<', '?', '>' or '=' before the numbers, else 0
    uint8_t final = 0;
    size_t fieldCount = 0;
    uint32_t value[kMaxFields][kMaxSubfields] = {};
    bool present[kMaxFields][kMaxSubfields] = {};

    uint32_t get(size_t field, size_t sub, uint32_t fallback) const {
        return field < fieldCount && present[field][sub] ? value[field][sub] : fallback;
    }
};

// Parses the parameter bytes [begin, end) of a CSI sequence. False for shapes we never
// decode (too many fields, a prefix in the middle, intermediate bytes).
bool parseCsi(const uint8_t* begin, const uint8_t* end, uint8_t final, CsiParams& params) {
    params.final = final;
    const uint8_t* p = begin;
    if (p < end && (*p == '<' || *p == '?' || *p == '>' || *p == '=')) params.prefix = *p++;
    size_t field = 0;
    size_t sub = 0;
    params.fieldCount = p < end ? 1 : 0;
    for (; p < end; ++p) {
        const uint8_t c = *p;
        if (c >= '0' && c <= '9') {
            uint32_t& v = params.value[field][sub];
            v = v > 99999 ? v : v * 10 + (c - '0'); // saturate: no overflow on hostile digits
            params.present[field][sub] = true;
        } else if (c == ';') {
            if (++field >= kMaxFields) return false;
            sub = 0;
            params.fieldCount = field + 1;
        } else if (c == ':') {
            if (++sub >= kMaxSubfields) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool isLetter(uint32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

void InputDecoder::commit(size_t count, uint32_t nowMs) {
    if (count == 0) return;
    length += count < freeSpace() ? count : freeSpace();
    lastInputMs = nowMs;
}

void InputDecoder::feed(const void* bytes, size_t count, uint32_t nowMs) {
    const size_t taken = count < freeSpace() ? count : freeSpace();
    std::memcpy(buffer + length, bytes, taken);
    commit(taken, nowMs);
}

void InputDecoder::reset() {
    length = 0;
    queueHead = 0;
    queueCount = 0;
    heldButtons = 0;
    clickPending = false;
}

namespace {

// The decoding steps work on the decoder's fields; kept out of the header as they are
// details of the byte formats.
struct Decoding {
    InputDecoder& d;
    uint32_t nowMs;

    void push(const InputRecord& record) {
        if (d.queueCount == InputDecoder::kQueueSize) return; // callers drain before decoding
        d.queue[(d.queueHead + d.queueCount) % InputDecoder::kQueueSize] = record;
        ++d.queueCount;
    }

    // A key event; `eventType` kNoEventType means a press whose release the terminal will
    // not report (unless it said it reports releases and `fromSequence` is set), so one is
    // synthesised right after it.
    void key(uint16_t virtualKey, uint8_t ascii, uint32_t eventType, bool fromSequence) {
        InputRecord record{};
        record.eventType = kKeyEvent;
        record.key.keyDown = eventType != kRelease;
        record.key.repeatCount = 1;
        record.key.virtualKeyCode = virtualKey;
        record.key.asciiChar = ascii;
        push(record);
        const bool releaseFollows =
            eventType != kNoEventType || (fromSequence && d.terminalReportsReleases);
        if (!releaseFollows) {
            record.key.keyDown = false;
            push(record);
        }
    }

    // A plain byte: ASCII text or a control character.
    void plainByte(uint8_t b, bool fromSequence, uint32_t eventType, uint32_t modifiers) {
        const bool ctrl = (modifiers & 4) != 0;
        if (b == '\r' || b == '\n') return key(kVkReturn, '\r', eventType, fromSequence);
        if (b == '\t') return key(kVkTab, '\t', eventType, fromSequence);
        if (b == 0x7F || b == 0x08) return key(kVkBack, 0x08, eventType, fromSequence);
        if (b == kEsc) return key(kVkEscape, kEsc, eventType, fromSequence);
        if (b >= 1 && b <= 26) // Ctrl+A .. Ctrl+Z, Ctrl+C among them
            return key(static_cast<uint16_t>('A' + b - 1), b, eventType, fromSequence);
        if (b == ' ') return key(kVkSpace, ' ', eventType, fromSequence);
        if (isLetter(b)) {
            const uint8_t upper = static_cast<uint8_t>(b & ~0x20);
            return key(upper, ctrl ? static_cast<uint8_t>(upper - 'A' + 1) : b, eventType,
                       fromSequence);
        }
        if (b >= '0' && b <= '9') return key(b, b, eventType, fromSequence);
        if (b > ' ' && b < 0x7F) return key(0, b, eventType, fromSequence); // punctuation
        // NUL (Ctrl+Space) and the rest of C0: nothing the controls know.
    }

    void mouse(const CsiParams& p) {
        if (!d.mouseEnabled || p.fieldCount != 3) return;
        const uint32_t b = p.get(0, 0, 0);
        if (b & (64 | 128)) return; // wheel and extra buttons
        const uint32_t x = p.get(1, 0, 0);
        const uint32_t y = p.get(2, 0, 0);
        if (x == 0 || y == 0) return; // positions are 1-based; 0 is garbage
        int16_t column = 0;
        int16_t row = 0;
        if (d.pixelReports && d.pointer.cellPixelWidth > 0)
            d.pointer.cellAtPixel(static_cast<int64_t>(x) - 1, static_cast<int64_t>(y) - 1, column,
                                  row);
        else
            d.pointer.cellAt(static_cast<int64_t>(x) - 1, static_cast<int64_t>(y) - 1, column, row);
        static constexpr uint32_t kButtonBits[4] = {
            kFromLeft1stButtonPressed, kFromLeft2ndButtonPressed, kRightmostButtonPressed, 0};
        const uint32_t bit = kButtonBits[b & 3];

        InputRecord record{};
        record.eventType = kMouseEvent;
        record.mouse.column = column;
        record.mouse.row = row;
        if (b & 32) {
            // Motion reports name the one button held, or none (3): trust them over what
            // the presses and releases said, in case one of those was lost.
            d.heldButtons = bit == 0 ? 0 : d.heldButtons | bit;
            record.mouse.eventFlags = kMouseMoved;
        } else if (p.final == 'M') {
            if (bit == 0) return;
            d.heldButtons |= bit;
            const bool doubleClick = d.clickPending && d.clickButton == bit &&
                                     d.clickColumn == column && d.clickRow == row &&
                                     nowMs - d.clickMs < InputDecoder::kDoubleClickMs;
            // A double click ends the pair: a third press starts a new one.
            d.clickPending = !doubleClick;
            d.clickButton = bit;
            d.clickColumn = column;
            d.clickRow = row;
            d.clickMs = nowMs;
            record.mouse.eventFlags = doubleClick ? kDoubleClick : 0;
        } else {
            d.heldButtons &= ~bit;
        }
        record.mouse.buttonState = d.heldButtons;
        push(record);
    }

    static uint16_t cursorKey(uint8_t final) {
        switch (final) {
        case 'A':
            return kVkUp;
        case 'B':
            return kVkDown;
        case 'C':
            return kVkRight;
        case 'D':
            return kVkLeft;
        case 'H':
            return kVkHome;
        case 'F':
            return kVkEnd;
        default:
            return 0;
        }
    }

    static uint16_t tildeKey(uint32_t n) {
        switch (n) {
        case 1:
        case 7:
            return kVkHome;
        case 2:
            return kVkInsert;
        case 3:
            return kVkDelete;
        case 4:
        case 8:
            return kVkEnd;
        case 5:
            return kVkPrior;
        case 6:
            return kVkNext;
        default:
            return 0;
        }
    }

    static uint32_t eventTypeOf(const CsiParams& p) {
        const uint32_t type = p.get(1, 1, kNoEventType);
        return type == kPress || type == kRepeat || type == kRelease ? type : kNoEventType;
    }

    void csi(const CsiParams& p) {
        if (p.prefix == '<') {
            if (p.final == 'M' || p.final == 'm') mouse(p);
            return;
        }
        if (p.prefix == '?') {
            // The kitty protocol's answer to our flags query: bit 2 means releases come.
            if (p.final == 'u') d.terminalReportsReleases = (p.get(0, 0, 0) & 2) != 0;
            return;
        }
        if (p.prefix != 0) return;
        const uint32_t eventType = eventTypeOf(p);
        if (const uint16_t vk = cursorKey(p.final); vk != 0) {
            return key(vk, 0, eventType, true);
        }
        if (p.final == '~') {
            if (const uint16_t vk = tildeKey(p.get(0, 0, 0)); vk != 0) key(vk, 0, eventType, true);
            return;
        }
        if (p.final == 'u') {
            const uint32_t code = p.get(0, 0, 0);
            const uint32_t modifiers = p.get(1, 0, 1) - 1;
            // Codes above ASCII are the protocol's functional keys (keypad, modifiers alone).
            if (code >= 1 && code < 0x80) {
                plainByte(static_cast<uint8_t>(code), true, eventType, modifiers);
            }
        }
        // Focus reports, cursor position reports and the rest: nothing to deliver.
    }

    // ESC at the front: a CSI or SS3 sequence, Alt+key, or Escape itself.
    Step escape() {
        const uint8_t* buf = d.buffer;
        const size_t n = d.length;
        const bool stale = nowMs - d.lastInputMs >= InputDecoder::kEscapeTimeoutMs;
        if (n == 1) {
            if (!stale) return Step::NeedMore;
            key(kVkEscape, kEsc, kNoEventType, false);
            return consume(1);
        }
        if (buf[1] == '[') {
            size_t i = 2;
            while (i < n && buf[i] >= 0x30 && buf[i] <= 0x3F) ++i; // parameter bytes
            const size_t paramEnd = i;
            while (i < n && buf[i] >= 0x20 && buf[i] <= 0x2F) ++i; // intermediate bytes
            if (i >= InputDecoder::kMaxSequence) return consume(i);
            if (i == n) return stale ? consume(n) : Step::NeedMore;
            const uint8_t final = buf[i];
            if (final < 0x40 || final > 0x7E) return consume(i); // broken off: drop the start
            if (final == 'M' && paramEnd == 2) {
                // An X10 mouse report: three raw bytes follow. We never ask for this form.
                if (n < i + 4) return stale ? consume(n) : Step::NeedMore;
                return consume(i + 4);
            }
            CsiParams params;
            if (paramEnd == i && parseCsi(buf + 2, buf + paramEnd, final, params)) csi(params);
            // DECRPM, the answer to our question about pixel mouse reports (mode 1016):
            // 1 set, 3 permanently set; 0 unknown, 2 reset, 4 permanently reset.
            if (paramEnd + 1 == i && buf[paramEnd] == '$' && final == 'y' &&
                parseCsi(buf + 2, buf + paramEnd, final, params) && params.prefix == '?' &&
                params.get(0, 0, 0) == 1016) {
                const uint32_t state = params.get(1, 0, 0);
                d.pixelReports = state == 1 || state == 3;
            }
            return consume(i + 1);
        }
        if (buf[1] == 'O') {
            if (n == 2) return stale ? consume(2) : Step::NeedMore;
            if (const uint16_t vk = cursorKey(buf[2]); vk != 0) {
                key(vk, 0, kNoEventType, true);
                return consume(3);
            }
            // F1-F4 and keypad keys: dropped; a control byte here starts something new.
            return consume(buf[2] < 0x20 ? 2 : 3);
        }
        if (buf[1] == kEsc || buf[1] >= 0x80) {
            key(kVkEscape, kEsc, kNoEventType, false);
            return consume(1);
        }
        // Alt+key: the key alone, as the controls do not look at modifiers.
        plainByte(buf[1], false, kNoEventType, 0);
        return consume(2);
    }

    Step consume(size_t count) {
        std::memmove(d.buffer, d.buffer + count, d.length - count);
        d.length -= count;
        return Step::Consumed;
    }

    Step one() {
        const uint8_t b = d.buffer[0];
        if (b == kEsc) return escape();
        if (b < 0x80) plainByte(b, false, kNoEventType, 0);
        return consume(1); // bytes >= 0x80 (UTF-8 text, 8-bit controls) are dropped
    }
};

} // namespace

bool InputDecoder::next(InputRecord& event, uint32_t nowMs) {
    Decoding decoding{*this, nowMs};
    while (queueCount == 0 && length > 0) {
        if (decoding.one() == Step::NeedMore) break;
    }
    if (queueCount == 0) return false;
    event = queue[queueHead];
    queueHead = (queueHead + 1) % kQueueSize;
    --queueCount;
    return true;
}
