// The terminal input decoder: plain bytes, CSI/SS3 key sequences, the kitty keyboard
// protocol and SGR mouse reports become InputRecords; the terminal's answers become
// TerminalAnswers.
#include "console/input_decoder.h"

#include <cstring>

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kBel = 0x07;

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
    uint8_t prefix = 0;       // '<', '?', '>' or '=' before the numbers, else 0
    uint8_t intermediate = 0; // the one intermediate byte before the final ('$'), else 0
    uint8_t final = 0;
    bool tooManyFields = false; // more than kMaxFields: only the first ones are kept
    size_t fieldCount = 0;
    uint32_t value[kMaxFields][kMaxSubfields] = {};
    bool present[kMaxFields][kMaxSubfields] = {};

    uint32_t get(size_t field, size_t sub, uint32_t fallback) const {
        return field < fieldCount && present[field][sub] ? value[field][sub] : fallback;
    }
};

// Parses the parameter and intermediate bytes [begin, end) of a CSI sequence. False for
// shapes we never decode (too many sub-fields, a prefix in the middle, more than one
// intermediate byte, a parameter byte after one).
bool parseCsi(const uint8_t* begin, const uint8_t* end, uint8_t final, CsiParams& params) {
    params.final = final;
    if (end > begin && end[-1] < 0x30) {
        if (end - 1 > begin && end[-2] < 0x30) return false;
        params.intermediate = end[-1];
        --end;
    }
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
            if (field + 1 == kMaxFields) {
                params.tooManyFields = true; // DA1 lists any number of features
                return true;
            }
            ++field;
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
    // What silence ended before these bytes came: a lone ESC is Escape, a skip is over.
    if (nowMs - lastInputMs >= kEscapeTimeoutMs) {
        if (length == 0) skipping = Skip::None;
        if (skipping == Skip::None && length == 1 && buffer[0] == kEsc) escapeDue = true;
    }
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
    skipping = Skip::None;
    escapeDue = false;
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
        if (p.intermediate != 0) {
            // DECRPM, the answer to DECRQM: which state a mode is in.
            if (p.prefix == '?' && p.intermediate == '$' && p.final == 'y') {
                modeReport(p.get(0, 0, 0), p.get(1, 0, kModeUnknown));
            }
            return;
        }
        if (p.prefix == '<') {
            if (p.final == 'M' || p.final == 'm') mouse(p);
            return;
        }
        if (p.prefix == '?' && p.final == 'c') {
            d.answers.primaryAttributes = true;
            return;
        }
        if (p.tooManyFields) return;
        if (p.prefix == '?') {
            // The kitty protocol's answer to our flags query: bit 2 means releases come.
            if (p.final == 'u') d.terminalReportsReleases = (p.get(0, 0, 0) & 2) != 0;
            return;
        }
        if (p.prefix == '>') {
            if (p.final == 'c') {
                d.answers.secondaryAttributes = true;
                d.answers.terminalType = p.get(0, 0, 0);
                d.answers.terminalVersion = p.get(1, 0, 0);
            }
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

    void modeReport(uint32_t mode, uint32_t state) {
        const uint8_t known =
            state <= kModeAlwaysReset ? static_cast<uint8_t>(state) : kModeUnknown;
        // Pixel mouse reports (mode 1016) are in use when set, or permanently set.
        if (mode == 1016) d.pixelReports = known == kModeSet || known == kModeAlwaysSet;
        if (mode == 2026) d.answers.synchronizedOutput = known;
    }

    // The content [p, end) of a string sequence opened by ESC `introducer`.
    void stringContent(uint8_t introducer, const uint8_t* p, const uint8_t* end) {
        if (introducer == 'P' && end - p >= 2 && p[0] == '>' && p[1] == '|') {
            // XTVERSION: the terminal's name and version, printable characters only.
            size_t n = 0;
            for (p += 2; p < end && n < TerminalAnswers::kMaxVersion; ++p) {
                if (*p >= 0x20 && *p < 0x7F) d.answers.version[n++] = static_cast<char>(*p);
            }
            d.answers.version[n] = 0;
        } else if (introducer == ']' && end - p >= 2 && p[0] == '4' && p[1] == ';') {
            paletteColors(p + 2, end);
        }
    }

    static int hexDigit(uint8_t c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // OSC 4 answers after the "4;": pairs of an index and rgb:R/G/B, each component 1 to 4
    // hexadecimal digits scaled to 8 bits; decoding stops at the first malformed pair.
    void paletteColors(const uint8_t* p, const uint8_t* end) {
        while (p < end) {
            uint32_t index = 0;
            int digits = 0;
            for (; p < end && *p >= '0' && *p <= '9' && digits < 4; ++p, ++digits)
                index = index * 10 + (*p - '0');
            if (digits == 0 || index > 255 || p == end || *p++ != ';') return;
            if (end - p < 4 || std::memcmp(p, "rgb:", 4) != 0) return;
            p += 4;
            uint32_t rgb = 0;
            for (int component = 0; component < 3; ++component) {
                uint32_t value = 0;
                uint32_t full = 0;
                for (int k = 0; k < 4 && p < end && hexDigit(*p) >= 0; ++k, ++p) {
                    value = value * 16 + static_cast<uint32_t>(hexDigit(*p));
                    full = full * 16 + 15;
                }
                if (full == 0) return;
                if (component < 2 && (p == end || *p++ != '/')) return;
                rgb = rgb << 8 | (value * 255 + full / 2) / full;
            }
            if (p < end && *p != ';') return;
            d.answers.paletteColor[index] = rgb;
            d.answers.paletteKnown[index] = true;
            if (p < end) ++p;
        }
    }

    bool stale() const { return nowMs - d.lastInputMs >= InputDecoder::kEscapeTimeoutMs; }

    // Bytes [at, d.length) are not yet decoded; consume() moves `at`, and the decoded bytes
    // leave the buffer once, when decoding stops (compact).
    size_t at = 0;

    Step consume(size_t count) {
        at += count;
        return Step::Consumed;
    }

    void compact() {
        std::memmove(d.buffer, d.buffer + at, d.length - at);
        d.length -= at;
        at = 0;
    }

    // ESC [ at the front: parameter and intermediate bytes, then the final byte.
    Step controlSequence() {
        const uint8_t* buf = d.buffer + at;
        const size_t n = d.length - at;
        size_t i = 2;
        // Both kinds in any order: a malformed order is still one sequence, ignored whole.
        for (; i < n && buf[i] >= 0x20 && buf[i] <= 0x3F; ++i) {
            if (i - 2 == InputDecoder::kMaxSequence) {
                d.skipping = InputDecoder::Skip::ControlSequence; // the rest, final byte too
                return consume(i);
            }
        }
        if (i == n) return stale() ? consume(n) : Step::NeedMore;
        const uint8_t final = buf[i];
        if (final < 0x40 || final > 0x7E) return consume(i); // broken off: drop the start
        if (final == 'M' && i == 2) {
            // An X10 mouse report: three raw bytes follow. We never ask for this form.
            if (n < i + 4) return stale() ? consume(n) : Step::NeedMore;
            return consume(i + 4);
        }
        CsiParams params;
        if (parseCsi(buf + 2, buf + i, final, params)) csi(params);
        return consume(i + 1);
    }

    // Where a string ends when buf[i] is BEL or ESC: `end`, the bytes to consume through its
    // terminator; false when that ESC is the last byte so far and more may come. `complete`
    // tells a terminator (BEL; ST; a bare ESC before another ESC or at the end of the input,
    // as urxvt ends its answers) from an ESC that starts something new, which then stays.
    bool stringEnd(const uint8_t* buf, size_t i, size_t n, size_t& end, bool& complete) const {
        complete = true;
        end = i + 1;
        if (buf[i] == kBel) return true;
        if (i + 1 == n) return stale();
        if (buf[i + 1] == '\\') {
            end = i + 2;
        } else if (buf[i + 1] != kEsc) {
            complete = false;
            end = i;
        }
        return true;
    }

    // A string at the front (DCS, OSC, SOS, PM, APC): its content up to the terminator.
    Step stringSequence() {
        const uint8_t* buf = d.buffer + at;
        const size_t n = d.length - at;
        for (size_t i = 2; i < n; ++i) {
            if (buf[i] == kBel || buf[i] == kEsc) {
                size_t end = 0;
                bool complete = false;
                if (!stringEnd(buf, i, n, end, complete)) return Step::NeedMore;
                if (complete) stringContent(buf[1], buf + 2, buf + i);
                return consume(end);
            }
            if (i - 2 == InputDecoder::kMaxString) {
                d.skipping = InputDecoder::Skip::String; // the rest, terminator too
                return consume(i);
            }
        }
        return stale() ? consume(n) : Step::NeedMore;
    }

    // The rest of an over-long sequence at the front.
    Step skip() {
        const uint8_t* buf = d.buffer + at;
        const size_t n = d.length - at;
        if (d.skipping == InputDecoder::Skip::ControlSequence) {
            if (buf[0] >= 0x20 && buf[0] <= 0x3F) return consume(1);
            d.skipping = InputDecoder::Skip::None;
            // The final byte ends it; anything else broke it off and is decoded as itself.
            return buf[0] >= 0x40 && buf[0] <= 0x7E ? consume(1) : Step::Consumed;
        }
        size_t i = 0;
        while (i < n && buf[i] != kBel && buf[i] != kEsc) ++i;
        if (i == n) return consume(n);
        size_t end = 0;
        bool complete = false;
        if (!stringEnd(buf, i, n, end, complete)) {
            consume(i);
            return Step::NeedMore;
        }
        d.skipping = InputDecoder::Skip::None;
        return consume(end);
    }

    // ESC at the front: a CSI or SS3 sequence, a string, Alt+key, or Escape itself.
    Step escape() {
        const uint8_t* buf = d.buffer + at;
        const size_t n = d.length - at;
        if (n == 1 || d.escapeDue) {
            if (!d.escapeDue && !stale()) return Step::NeedMore;
            d.escapeDue = false;
            key(kVkEscape, kEsc, kNoEventType, false);
            return consume(1);
        }
        switch (buf[1]) {
        case '[':
            return controlSequence();
        case 'P':
        case ']':
        case 'X':
        case '^':
        case '_':
            return stringSequence();
        case 'O':
            if (n == 2) return stale() ? consume(2) : Step::NeedMore;
            if (const uint16_t vk = cursorKey(buf[2]); vk != 0) {
                key(vk, 0, kNoEventType, true);
                return consume(3);
            }
            // F1-F4 and keypad keys: dropped; a control byte here starts something new.
            return consume(buf[2] < 0x20 ? 2 : 3);
        default:
            break;
        }
        if (buf[1] == kEsc || buf[1] >= 0x80) {
            key(kVkEscape, kEsc, kNoEventType, false);
            return consume(1);
        }
        // Alt+key: the key alone, as the controls do not look at modifiers.
        plainByte(buf[1], false, kNoEventType, 0);
        return consume(2);
    }

    Step one() {
        if (d.skipping != InputDecoder::Skip::None) return skip();
        const uint8_t b = d.buffer[at];
        if (b == kEsc) return escape();
        if (b < 0x80) plainByte(b, false, kNoEventType, 0);
        return consume(1); // bytes >= 0x80 (UTF-8 text, 8-bit controls) are dropped
    }
};

// Decodes while the queue has room for `room` more records (a step makes at most two).
void decode(InputDecoder& d, uint32_t nowMs, size_t room) {
    Decoding decoding{d, nowMs};
    while (d.queueCount + room <= InputDecoder::kQueueSize && decoding.at < d.length) {
        if (decoding.one() == Step::NeedMore) break;
    }
    decoding.compact();
}

} // namespace

bool InputDecoder::next(InputRecord& event, uint32_t nowMs) {
    if (queueCount == 0) decode(*this, nowMs, kQueueSize);
    if (queueCount == 0) return false;
    event = queue[queueHead];
    queueHead = (queueHead + 1) % kQueueSize;
    --queueCount;
    return true;
}

void InputDecoder::decodeAhead(uint32_t nowMs) {
    decode(*this, nowMs, 2);
}
