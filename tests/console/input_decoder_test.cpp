// InputDecoder: key encodings, split and garbled sequences, the Escape timeout, SGR mouse
// reports, double clicks, key releases and the terminal's answers.
#include "console/input_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<InputRecord> drain(InputDecoder& d, uint32_t nowMs) {
    std::vector<InputRecord> out;
    InputRecord r{};
    while (d.next(r, nowMs)) out.push_back(r);
    return out;
}

void feed(InputDecoder& d, const std::string& bytes, uint32_t nowMs) {
    d.feed(bytes.data(), bytes.size(), nowMs);
}

// "vk+" for a press, "vk-" for a release, "vk+'c'" when the character matters.
std::string keys(const std::vector<InputRecord>& records, bool withChar = false) {
    std::string s;
    for (const InputRecord& r : records) {
        if (!s.empty()) s += ' ';
        if (r.eventType != kKeyEvent) {
            s += "mouse(" + std::to_string(r.mouse.column) + "," + std::to_string(r.mouse.row) +
                 "," + std::to_string(r.mouse.buttonState) + "," +
                 std::to_string(r.mouse.eventFlags) + ")";
            continue;
        }
        s += std::to_string(r.key.virtualKeyCode) + (r.key.keyDown ? "+" : "-");
        if (withChar) s += "/" + std::to_string(r.key.asciiChar);
    }
    return s;
}

std::string pressRelease(uint16_t vk, uint8_t ch) {
    const std::string c = "/" + std::to_string(ch);
    return std::to_string(vk) + "+" + c + " " + std::to_string(vk) + "-" + c;
}

} // namespace

// [keys] Every encoding the demo's controls use, each followed by its synthesised release.
TEST(InputDecoderKeys, every_encoding_gives_press_then_release) {
    struct Case {
        const char* bytes;
        uint16_t vk;
        uint8_t ch;
    };
    const Case cases[] = {
        {"\x1b[A", kVkUp, 0},
        {"\x1b[B", kVkDown, 0},
        {"\x1b[C", kVkRight, 0},
        {"\x1b[D", kVkLeft, 0},
        {"\x1bOA", kVkUp, 0},
        {"\x1bOB", kVkDown, 0},
        {"\x1bOC", kVkRight, 0},
        {"\x1bOD", kVkLeft, 0},
        {"\x1b[H", kVkHome, 0},
        {"\x1bOH", kVkHome, 0},
        {"\x1b[1~", kVkHome, 0},
        {"\x1b[7~", kVkHome, 0},
        {"\x1b[F", kVkEnd, 0},
        {"\x1bOF", kVkEnd, 0},
        {"\x1b[4~", kVkEnd, 0},
        {"\x1b[8~", kVkEnd, 0},
        {"\x1b[5~", kVkPrior, 0},
        {"\x1b[6~", kVkNext, 0},
        {"\x1b[1;5C", kVkRight, 0},
        {"\x1b[5;2~", kVkPrior, 0},
        {"m", kVkM, 'm'},
        {"M", kVkM, 'M'},
        {"n", kVkN, 'n'},
        {"N", kVkN, 'N'},
        {" ", kVkSpace, ' '},
        {"\x03", 'C', 3},
        {"\r", kVkReturn, '\r'},
        {"\x7f", kVkBack, 8},
        {"7", '7', '7'},
        {"\x1bm", kVkM, 'm'},
        {"\x1b[109u", kVkM, 'm'},
        {"\x1b[78;2u", kVkN, 'N'},
        {"\x1b[99;5u", 'C', 3},
        {"\x1b[27u", kVkEscape, 27},
        {"\x1b[32u", kVkSpace, ' '},
    };
    for (const Case& c : cases) {
        InputDecoder d;
        feed(d, c.bytes, 1000);
        EXPECT_EQ(keys(drain(d, 1000), true), pressRelease(c.vk, c.ch)) << "bytes: " << c.bytes + 1;
    }
}

TEST(InputDecoderKeys, ignored_sequences_give_nothing) {
    // F1, a focus report, a cursor position report, an unknown private query reply, F5.
    for (const char* bytes : {"\x1bOP", "\x1b[I", "\x1b[12;40R", "\x1b[>1;2c", "\x1b[15~",
                              "\x1b[57441u", "\x1b[<0;1;1M"}) {
        InputDecoder d;
        feed(d, bytes, 0);
        EXPECT_EQ(keys(drain(d, 1000)), "") << "bytes: " << bytes + 1;
        EXPECT_EQ(d.length, 0u);
    }
}

TEST(InputDecoderKeys, several_keys_in_one_read_come_out_in_order) {
    InputDecoder d;
    feed(d, "m\x1b[5~n\x1b[A", 0);
    EXPECT_EQ(keys(drain(d, 0)), "77+ 77- 33+ 33- 78+ 78- 38+ 38-");
}

// [split] A sequence cut anywhere waits for the rest, however it is cut.
TEST(InputDecoderSplit, sequence_cut_at_every_point_waits_for_the_rest) {
    const std::string whole = "\x1b[5;2~";
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        InputDecoder d;
        feed(d, whole.substr(0, cut), 100);
        EXPECT_EQ(keys(drain(d, 120)), "") << "cut " << cut;
        feed(d, whole.substr(cut), 130);
        EXPECT_EQ(keys(drain(d, 130)), "33+ 33-") << "cut " << cut;
    }
}

TEST(InputDecoderSplit, byte_by_byte_mouse_report) {
    InputDecoder d;
    d.mouseEnabled = true;
    const std::string report = "\x1b[<0;12;7M";
    uint32_t t = 0;
    std::vector<InputRecord> got;
    for (char c : report) {
        d.feed(&c, 1, t);
        for (const InputRecord& r : drain(d, t + 10)) got.push_back(r);
        t += 20; // each byte within the timeout of the last
    }
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].eventType, kMouseEvent);
    EXPECT_EQ(got[0].mouse.column, 11);
    EXPECT_EQ(got[0].mouse.row, 6);
}

// The same bytes give the same records and answers however two reads split them, as long as
// they come within the Escape timeout: sequences, answers, and over-long sequences skipped.
TEST(InputDecoderSplit, every_split_point_gives_what_one_read_gives) {
    struct Case {
        std::string bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"\x1b[5;2~m\x1b[<0;12;7M\x1b", "33+ 33- 77+ 77- mouse(11,6,1,0) 27+ 27-"},
        {"\x1b[?2026;2$y\x1bP>|XTerm(379)\x1b\\n\x1b[?64;1c", "78+ 78-"},
        {"\x1b]4;1;rgb:cdcd/0000/0000\x1b\x1b[>85;95;0c\x1b[A", "38+ 38-"},
        {"\x1b]4;1;rgb:cd/00/00\a\x1bOB", "40+ 40-"},
        {"\x1b[" + std::string(70, '1') + "m \x1b[M !!", "32+ 32-"},
        {"\x1b]2;" + std::string(300, 'x') + "\x1b\\m", "77+ 77-"},
    };
    for (const Case& c : cases) {
        InputDecoder whole;
        whole.mouseEnabled = true;
        feed(whole, c.bytes, 0);
        std::string expected = keys(drain(whole, 0));
        const std::string late = keys(drain(whole, InputDecoder::kEscapeTimeoutMs));
        expected += expected.empty() || late.empty() ? late : " " + late;
        ASSERT_EQ(expected, c.expected) << "bytes: " << c.bytes.substr(1, 12);
        for (size_t cut = 1; cut < c.bytes.size(); ++cut) {
            InputDecoder d;
            d.mouseEnabled = true;
            std::vector<InputRecord> got;
            feed(d, c.bytes.substr(0, cut), 0);
            for (const InputRecord& r : drain(d, 0)) got.push_back(r);
            feed(d, c.bytes.substr(cut), 0);
            for (const InputRecord& r : drain(d, 0)) got.push_back(r);
            for (const InputRecord& r : drain(d, InputDecoder::kEscapeTimeoutMs)) got.push_back(r);
            ASSERT_EQ(keys(got), c.expected)
                << "bytes: " << c.bytes.substr(1, 12) << " cut " << cut;
            ASSERT_STREQ(d.answers.version, whole.answers.version) << "cut " << cut;
            ASSERT_EQ(d.answers.synchronizedOutput, whole.answers.synchronizedOutput);
            ASSERT_EQ(d.answers.paletteColor[1], whole.answers.paletteColor[1]) << "cut " << cut;
            ASSERT_EQ(d.answers.primaryAttributes, whole.answers.primaryAttributes);
        }
    }
}

// [escape] A lone ESC is Escape only once kEscapeTimeoutMs (50) pass without another byte.
TEST(InputDecoderEscape, lone_escape_waits_for_the_timeout) {
    InputDecoder d;
    feed(d, "\x1b", 1000);
    EXPECT_EQ(keys(drain(d, 1000)), "");
    EXPECT_EQ(keys(drain(d, 1049)), "");
    EXPECT_EQ(keys(drain(d, 1050)), "27+ 27-");
}

TEST(InputDecoderEscape, escape_then_sequence_bytes_in_time_is_the_sequence) {
    InputDecoder d;
    feed(d, "\x1b", 1000);
    EXPECT_EQ(keys(drain(d, 1030)), "");
    feed(d, "[B", 1040);
    EXPECT_EQ(keys(drain(d, 1100)), "40+ 40-");
}

// An ESC that waited past the timeout before more bytes came (the program was busy) is
// Escape, never the start of what came later; silence likewise ends a skip.
TEST(InputDecoderEscape, silence_before_a_read_ends_what_came_before_it) {
    struct Case {
        std::string first, second; // the second read comes 60 ms after the first
        const char* expected;
    };
    const Case cases[] = {
        {"\x1b", "[B", "27+ 27- 0+ 0- 66+ 66-"},
        {"\x1b]2;" + std::string(300, 'x'), "n", "78+ 78-"},
        {"\x1b[" + std::string(70, '1'), "2m", "50+ 50- 77+ 77-"},
    };
    for (const Case& c : cases) {
        InputDecoder d;
        feed(d, c.first, 1000);
        std::string got = keys(drain(d, 1000));
        feed(d, c.second, 1060);
        got += keys(drain(d, 1060));
        EXPECT_EQ(got, c.expected) << "first: " << c.first.substr(1, 8);
    }
}

TEST(InputDecoderEscape, timeout_is_measured_across_the_timer_wrap) {
    InputDecoder d;
    feed(d, "\x1b", 0xFFFFFFF0u);
    EXPECT_EQ(keys(drain(d, 0x20u)), ""); // 48 ms later
    EXPECT_EQ(keys(drain(d, 0x22u)), "27+ 27-");
}

TEST(InputDecoderEscape, double_escape_is_one_escape_and_a_pending_one) {
    InputDecoder d;
    feed(d, "\x1b\x1b", 0);
    EXPECT_EQ(keys(drain(d, 0)), "27+ 27-");
    EXPECT_EQ(keys(drain(d, 60)), "27+ 27-");
}

TEST(InputDecoderEscape, stalled_sequence_is_dropped_and_what_follows_decodes) {
    InputDecoder d;
    feed(d, "\x1b[12", 0);
    EXPECT_EQ(keys(drain(d, 10)), "");
    EXPECT_EQ(keys(drain(d, 60)), ""); // dropped, not turned into keys
    EXPECT_EQ(d.length, 0u);
    feed(d, "n", 70);
    EXPECT_EQ(keys(drain(d, 70)), "78+ 78-");
}

// [garbled] Broken input is dropped; decoding resumes at the next sound byte.
TEST(InputDecoderGarbled, broken_sequences_are_dropped) {
    struct Case {
        const char* bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"\x1b[5\x1b[A", "38+ 38-"},         // CSI cut off by a new ESC
        {"\x1b[5\x03", "67+ 67-"},           // ...or by a control byte, which still counts
        {"\x1b[99Z", ""},                    // unknown final byte
        {"\x1b[1$A", ""},                    // intermediate byte: not a shape we decode
        {"\x1bO\x1b[B", "40+ 40-"},          // SS3 cut off
        {"\xc3\xa9n", "78+ 78-"},            // UTF-8 text is dropped
        {"\x1b[99999999999999A", "38+ 38-"}, // huge parameter saturates
        {"\x1b[1;2;3;4;5;6;7;8;9;10A", ""},  // too many fields
        {"\x1b[M !!m", "77+ 77-"},           // X10 mouse report consumed whole
    };
    for (const Case& c : cases) {
        InputDecoder d;
        d.mouseEnabled = true;
        feed(d, c.bytes, 0);
        EXPECT_EQ(keys(drain(d, 0)), c.expected) << "bytes: " << c.bytes + 1;
    }
}

// Over their limits sequences are skipped whole, final byte or terminator included.
TEST(InputDecoderGarbled, overlong_sequences_are_skipped_whole) {
    const std::string params64(64, '1');
    const std::string text256(256, 'x');
    struct Case {
        std::string bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"\x1b[" + params64 + "1mn", "78+ 78-"},            // 65 parameter bytes: m is not a key
        {"\x1b[" + params64 + "A", "38+ 38-"},              // 64 still decode
        {"\x1b[" + params64 + "11\x1b[B", "40+ 40-"},       // broken off by a new sequence
        {"\x1b]2;" + text256 + "\an", "78+ 78-"},           // over-long string ended by BEL
        {"\x1bP" + text256 + "m\x1b\\n", "78+ 78-"},        // ... by ST
        {"\x1b]" + text256 + "\x1b\x1b[A", "38+ 38-"},      // ... by a bare ESC (urxvt)
        {"\x1b]" + text256 + "\x1b[An", "38+ 38- 78+ 78-"}, // ... by a new sequence
    };
    for (const Case& c : cases) {
        InputDecoder d;
        feed(d, c.bytes, 0);
        EXPECT_EQ(keys(drain(d, 0)), c.expected) << "bytes: " << c.bytes.substr(1, 8);
        EXPECT_EQ(d.skipping, InputDecoder::Skip::None) << "bytes: " << c.bytes.substr(1, 8);
    }
}

TEST(InputDecoderGarbled, random_bytes_never_break_the_decoder) {
    std::mt19937 rng(12345);
    InputDecoder d;
    d.mouseEnabled = true;
    uint32_t t = 0;
    for (int round = 0; round < 2000; ++round) {
        // Bias towards the bytes sequences are made of.
        const char alphabet[] = "\x1b\x1b[[O<;;:0123456789~uMmABCDHF?\x03\x7f\xc3 ";
        uint8_t chunk[40];
        const size_t n = rng() % sizeof chunk;
        for (size_t i = 0; i < n; ++i)
            chunk[i] = rng() % 4 == 0
                           ? static_cast<uint8_t>(rng())
                           : static_cast<uint8_t>(alphabet[rng() % (sizeof alphabet - 1)]);
        d.feed(chunk, n, t);
        t += static_cast<uint32_t>(rng() % 80);
        for (const InputRecord& r : drain(d, t)) {
            ASSERT_TRUE(r.eventType == kKeyEvent || r.eventType == kMouseEvent);
        }
        ASSERT_LE(d.length, InputDecoder::kBufferSize);
    }
    drain(d, t + 1000);
    EXPECT_EQ(d.length, 0u); // nothing is stuck once the input falls silent
}

TEST(InputDecoderGarbled, overflowing_input_is_cut_not_overrun) {
    InputDecoder d;
    const std::string flood(InputDecoder::kBufferSize + 100, 'n');
    feed(d, flood, 0);
    EXPECT_EQ(d.length, InputDecoder::kBufferSize);
    EXPECT_EQ(drain(d, 0).size(), 2 * InputDecoder::kBufferSize);
}

// [mouse] SGR reports: 1-based positions relative to the picture, buttons held, motion.
TEST(InputDecoderMouse, press_motion_release_track_the_buttons) {
    InputDecoder d;
    d.mouseEnabled = true;
    feed(d, "\x1b[<0;10;5M\x1b[<32;11;5M\x1b[<2;11;5M\x1b[<0;11;5m\x1b[<35;12;6M\x1b[<2;1;1m", 0);
    const std::vector<InputRecord> got = drain(d, 0);
    struct Expected {
        int16_t column, row;
        uint32_t buttons, flags;
    };
    const Expected expected[] = {
        {9, 4, kFromLeft1stButtonPressed, 0},
        {10, 4, kFromLeft1stButtonPressed, kMouseMoved},
        {10, 4, kFromLeft1stButtonPressed | kRightmostButtonPressed, 0},
        {10, 4, kRightmostButtonPressed, 0}, // left released, right still held
        {11, 5, 0, kMouseMoved},             // motion says nothing is held: trusted
        {0, 0, 0, 0},
    };
    ASSERT_EQ(got.size(), std::size(expected));
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].eventType, kMouseEvent) << i;
        EXPECT_EQ(got[i].mouse.column, expected[i].column) << i;
        EXPECT_EQ(got[i].mouse.row, expected[i].row) << i;
        EXPECT_EQ(got[i].mouse.buttonState, expected[i].buttons) << i;
        EXPECT_EQ(got[i].mouse.eventFlags, expected[i].flags) << i;
    }
}

TEST(InputDecoderMouse, positions_are_relative_to_a_centred_picture_and_clamped_to_it) {
    InputDecoder d;
    d.mouseEnabled = true;
    d.pointer.set(DisplayLayout::Cells, 80, 50, 10, 3);
    feed(d, "\x1b[<0;11;4M\x1b[<0;5;1m\x1b[<0;91;54M", 0);
    const std::vector<InputRecord> got = drain(d, 0);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].mouse.column, 0); // first picture cell
    EXPECT_EQ(got[0].mouse.row, 0);
    EXPECT_EQ(got[1].mouse.column, 0); // in the top-left margin: the corner cell
    EXPECT_EQ(got[1].mouse.row, 0);
    EXPECT_EQ(got[2].mouse.column, 79); // just past the right and bottom edges: the last cell
    EXPECT_EQ(got[2].mouse.row, 49);
}

TEST(InputDecoderMouse, pixel_reports_only_once_the_terminal_confirms_them) {
    // Half blocks on cells of 8 x 16 pixels: the report (17, 25) is pixel (16, 24), the top of
    // the lower half of terminal cell (2, 1); read as cells it is terminal cell (16, 24).
    struct Case {
        const char* reply; // the terminal's answer about mode 1016, before the report
        int row;           // picture row of the report "ESC [ < 0 ; 17 ; 25 M"
    };
    const Case cases[] = {
        {"", 48},               // no answer yet: terminal row 24, cells 48 and 49
        {"\x1b[?1016;1$y", 3},  // set: pixels, the lower cell of terminal row 1
        {"\x1b[?1016;3$y", 3},  // permanently set
        {"\x1b[?1016;0$y", 48}, // not recognised: cells
        {"\x1b[?1016;2$y", 48}, // reset
        {"\x1b[?1015;1$y", 48}, // another mode's answer
    };
    for (const Case& c : cases) {
        InputDecoder d;
        d.mouseEnabled = true;
        d.pointer.set(DisplayLayout::Half, 80, 50, 0, 0);
        d.pointer.cellPixelWidth = 8;
        d.pointer.cellPixelHeight = 16;
        feed(d, c.reply, 0);
        feed(d, "\x1b[<0;17;25M", 0);
        const std::vector<InputRecord> got = drain(d, 0);
        ASSERT_EQ(got.size(), 1u) << c.reply;
        EXPECT_EQ(got[0].mouse.row, c.row) << c.reply;
        EXPECT_EQ(got[0].mouse.column, c.row == 3 ? 2 : 16) << c.reply;
    }
}

TEST(InputDecoderMouse, reports_are_dropped_while_mouse_input_is_off_and_wheel_always) {
    InputDecoder d;
    feed(d, "\x1b[<0;1;1Mn", 0);
    EXPECT_EQ(keys(drain(d, 0)), "78+ 78-");
    d.mouseEnabled = true;
    feed(d, "\x1b[<64;1;1M\x1b[<65;1;1M\x1b[<0;0;1M", 0);
    EXPECT_EQ(drain(d, 0).size(), 0u);
}

// [double click] Second press of the same button on the same cell within 500 ms.
TEST(InputDecoderMouse, double_click_needs_same_button_cell_and_time) {
    struct Case {
        const char* second; // the second press
        uint32_t afterMs;
        bool doubleClick;
    };
    const Case cases[] = {
        {"\x1b[<0;5;5M", 300, true},  {"\x1b[<0;5;5M", 499, true},  {"\x1b[<0;5;5M", 500, false},
        {"\x1b[<0;6;5M", 100, false}, {"\x1b[<0;5;6M", 100, false}, {"\x1b[<2;5;5M", 100, false},
    };
    for (const Case& c : cases) {
        InputDecoder d;
        d.mouseEnabled = true;
        feed(d, "\x1b[<0;5;5M\x1b[<0;5;5m", 1000);
        drain(d, 1000);
        feed(d, c.second, 1000 + c.afterMs);
        const std::vector<InputRecord> got = drain(d, 1000 + c.afterMs);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].mouse.eventFlags, c.doubleClick ? kDoubleClick : 0u)
            << c.second + 1 << " after " << c.afterMs;
    }
}

TEST(InputDecoderMouse, third_press_starts_a_new_pair) {
    InputDecoder d;
    d.mouseEnabled = true;
    uint32_t flags[4];
    for (int i = 0; i < 4; ++i) {
        feed(d, "\x1b[<0;5;5M\x1b[<0;5;5m", static_cast<uint32_t>(i * 100));
        const std::vector<InputRecord> got = drain(d, static_cast<uint32_t>(i * 100));
        ASSERT_EQ(got.size(), 2u);
        flags[i] = got[0].mouse.eventFlags;
    }
    EXPECT_EQ(flags[0], 0u);
    EXPECT_EQ(flags[1], kDoubleClick);
    EXPECT_EQ(flags[2], 0u);
    EXPECT_EQ(flags[3], kDoubleClick);
}

TEST(InputDecoderMouse, press_of_another_button_in_between_breaks_the_pair) {
    InputDecoder d;
    d.mouseEnabled = true;
    feed(d, "\x1b[<0;5;5M\x1b[<0;5;5m\x1b[<2;5;5M\x1b[<2;5;5m\x1b[<0;5;5M", 0);
    const std::vector<InputRecord> got = drain(d, 0);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[4].mouse.eventFlags, 0u);
}

// [releases] Real releases once the terminal says it sends them, synthesised otherwise.
TEST(InputDecoderReleases, kitty_reply_switches_to_reported_releases) {
    InputDecoder d;
    feed(d, "\x1b[?11u", 0); // flags 1 | 2 | 8: event types on
    EXPECT_EQ(keys(drain(d, 0)), "");
    EXPECT_TRUE(d.terminalReportsReleases);
    feed(d, "\x1b[A\x1b[1;1:2A\x1b[1;1:3A\x1b[109u\x1b[109;1:3u\x1b[5;1:3~", 0);
    EXPECT_EQ(keys(drain(d, 0)), "38+ 38+ 38- 77+ 77- 33-");
    feed(d, "n", 0); // a plain byte still never has a release of its own
    EXPECT_EQ(keys(drain(d, 0)), "78+ 78-");
}

TEST(InputDecoderReleases, reply_without_event_types_keeps_synthesising) {
    InputDecoder d;
    feed(d, "\x1b[?1u\x1b[A", 0);
    EXPECT_FALSE(d.terminalReportsReleases);
    EXPECT_EQ(keys(drain(d, 0)), "38+ 38-");
}

TEST(InputDecoderReleases, explicit_release_is_never_doubled) {
    InputDecoder d; // no reply seen: the report's own event type still rules
    feed(d, "\x1b[27;1:3u", 0);
    EXPECT_EQ(keys(drain(d, 0)), "27-");
}

// [answers] What the terminal says about itself is noted, never delivered as keys.
TEST(InputDecoderAnswers, answers_are_noted_and_never_become_keys) {
    struct Case {
        const char* bytes;
        bool primary;
        uint32_t type; // DA2
        uint8_t sync;  // DECRPM of 2026
        const char* version;
        int paletteIndex; // -1: no colour noted
        uint32_t rgb;
    };
    const Case cases[] = {
        {"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c", true, 0, kModeUnknown, "", -1, 0},
        {"\x1b[?6c", true, 0, kModeUnknown, "", -1, 0},
        {"\x1b[>65;7006;1c", false, 65, kModeUnknown, "", -1, 0},
        {"\x1b[?2026;2$y", false, 0, kModeReset, "", -1, 0},
        {"\x1b[?2026;4$y", false, 0, kModeAlwaysReset, "", -1, 0},
        {"\x1b[?2026;7$y", false, 0, kModeUnknown, "", -1, 0}, // no such state
        {"\x1b[?2027;1$y", false, 0, kModeUnknown, "", -1, 0}, // another mode
        {"\x1bP>|XTerm(379)\x1b\\", false, 0, kModeUnknown, "XTerm(379)", -1, 0},
        {"\x1bP>|tmux 3.3a\a", false, 0, kModeUnknown, "tmux 3.3a", -1, 0},
        {"\x1bP>|bad\x01name\x1b\\", false, 0, kModeUnknown, "badname", -1, 0},
        {"\x1bP1$r0m\x1b\\", false, 0, kModeUnknown, "", -1, 0}, // another DCS answer
        {"\x1b]4;1;rgb:cdcd/0000/0000\x1b\\", false, 0, kModeUnknown, "", 1, 0xCD0000},
        {"\x1b]4;7;rgb:c/80/ffff\a", false, 0, kModeUnknown, "", 7, 0xCC80FF},
        {"\x1b]4;1;rgb:cd/00/00\x1b", false, 0, kModeUnknown, "", 1, 0xCD0000}, // urxvt's end
        {"\x1b]4;256;rgb:ff/ff/ff\a", false, 0, kModeUnknown, "", -1, 0},
        {"\x1b]4;1;rgb:ff/ff\a", false, 0, kModeUnknown, "", -1, 0},
        {"\x1b]4;1;rgb:12345/0/0\a", false, 0, kModeUnknown, "", -1, 0},
        {"\x1b]10;rgb:ff/ff/ff\a", false, 0, kModeUnknown, "", -1, 0},
    };
    for (const Case& c : cases) {
        InputDecoder d;
        feed(d, c.bytes, 0);
        std::string got = keys(drain(d, 0)) + keys(drain(d, InputDecoder::kEscapeTimeoutMs));
        EXPECT_EQ(got, "") << "bytes: " << c.bytes + 1;
        const TerminalAnswers& a = d.answers;
        EXPECT_EQ(a.primaryAttributes, c.primary) << "bytes: " << c.bytes + 1;
        EXPECT_EQ(a.terminalType, c.type) << "bytes: " << c.bytes + 1;
        EXPECT_EQ(a.synchronizedOutput, c.sync) << "bytes: " << c.bytes + 1;
        EXPECT_STREQ(a.version, c.version) << "bytes: " << c.bytes + 1;
        int known = -1;
        for (int i = 0; i < 256; ++i)
            if (a.paletteKnown[i]) known = i;
        EXPECT_EQ(known, c.paletteIndex) << "bytes: " << c.bytes + 1;
        if (known >= 0) {
            EXPECT_EQ(a.paletteColor[known], c.rgb) << "bytes: " << c.bytes + 1;
        }
    }
}

// Which terminals draw block elements themselves, from the answers of the terminals here
// (whole rounds as each answered) and of a few known by name; anything else, nothing answered
// included, is not known to.
TEST(InputDecoderAnswers, block_drawing_terminals_are_known_by_their_answers) {
    struct Case {
        const char* name;
        const char* bytes;
        bool drawsBlocks;
    };
    const Case cases[] = {
        {"kitty",
         "\x1b[?2026;2$y\x1bP>|kitty(0.26.5)\x1b\\\x1b]4;1;rgb:cccc/0404/0303\x1b\\"
         "\x1b[>1;4000;26c\x1b[?62;c",
         true},
        {"foot", "\x1b[?2026;2$y\x1bP>|foot(1.13.1)\x1b\\\x1b[>1;11301;0c\x1b[?62;4;22c", true},
        {"WezTerm", "\x1bP>|WezTerm 20230712-072601-f4abf8fd\x1b\\\x1b[?65;4;6;18;22c", true},
        {"VTE (sakura)",
         "\x1b[?2026;4$y\x1b]4;1;rgb:cccc/0000/0000\x1b\\\x1b[>65;7006;1c\x1b[?65;1;9c", true},
        {"urxvt", "\x1b[?2026;0$y\x1b]4;1;rgb:cdcd/0000/0000\x1b\x1b[>85;95;0c\x1b[?1;2c", true},
        {"alacritty", "\x1b]4;1;rgb:cccc/6666/6666\x1b\\\x1b[>0;1700;1c\x1b[?6c", true},
        {"xterm",
         "\x1b[?2026;0$y\x1bP>|XTerm(379)\x1b\\\x1b]4;1;rgb:cdcd/0000/0000\x1b\\"
         "\x1b[>41;379;0c\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c",
         false},
        {"st", "\x1b]4;1;rgb:cdcd/0000/0000\a\x1b[?6c", false},
        {"mlterm",
         "\x1b[?2026;0$y\x1b]4;1;rgb:cdcd/0000/0000\x1b\\\x1b[>24;279;0c"
         "\x1b[?63;1;2;3;4;6;7;15;18;22;29c",
         false},
        {"zutty", "\x1b]4;1;rgb:cdcd/0000/0000\x1b\\\x1b[>64;0;0c\x1b[?64;1;9;15;21;22c", false},
        {"tmux (in kitty or not)", "\x1bP>|tmux 3.3a\x1b\\\x1b[>84;0;0c\x1b[?1;2c", false},
        {"GNU screen", "\x1b[>83;40900;0c\x1b[?1;2c", false},
        {"type 0 with a small version", "\x1b[>0;10;1c\x1b[?61;6;7;22;23;24;28;32;42c", false},
        {"DA1 alone", "\x1b[?1;2c", false},
        {"nothing", "", false},
    };
    for (const Case& c : cases) {
        InputDecoder d;
        feed(d, c.bytes, 0);
        EXPECT_EQ(keys(drain(d, InputDecoder::kEscapeTimeoutMs)), "") << c.name;
        EXPECT_EQ(d.answers.drawsBlockElements(), c.drawsBlocks) << c.name;
    }
}
