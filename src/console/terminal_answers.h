// TerminalAnswers: what the terminal said about itself in answer to the start-up questions
// (DA1, DA2, DECRQM, XTVERSION, OSC 4), and what the back end concludes from it. Filled by the
// InputDecoder as the answers arrive; pure data, no terminal is touched.
#pragma once

#include <cstddef>
#include <cstdint>

// DECRPM states of a mode (the answer to DECRQM).
constexpr uint8_t kModeUnknown = 0; // not recognised, or never answered
constexpr uint8_t kModeSet = 1;
constexpr uint8_t kModeReset = 2;
constexpr uint8_t kModeAlwaysSet = 3;
constexpr uint8_t kModeAlwaysReset = 4;

// DA2 terminal types that change what the back end does.
constexpr uint32_t kTypeVte = 65;
constexpr uint32_t kTypeGnuScreen = 83;
constexpr uint32_t kTypeRxvtUnicode = 85;

struct TerminalAnswers {
    static constexpr size_t kMaxVersion = 63;

    // DA1 came. Answers come in the order of the questions and DA1 is asked last, so every
    // question not answered by now never will be.
    bool primaryAttributes = false;
    bool secondaryAttributes = false; // DA2 came; then the two numbers below hold
    uint32_t terminalType = 0; // DA2's first number: 41 xterm, 65 VTE, 83 GNU screen, 84 tmux
    uint32_t terminalVersion = 0;
    uint8_t synchronizedOutput = kModeUnknown; // DECRPM state of mode 2026
    char version[kMaxVersion + 1] = {}; // XTVERSION: "XTerm(379)", "tmux 3.3a"; "" unanswered
    // Palette colours the terminal reported (OSC 4), as 0xRRGGBB, by index.
    uint32_t paletteColor[256] = {};
    bool paletteKnown[256] = {};

    // Whether frames can be shown whole: mode 2026 is known and may be switched (1 or 2).
    bool synchronizedOutputWorks() const;

    // Whether the terminal is known to keep a title stack (XTWINOPS 22/23) from its name
    // (xterm, kitty, foot, WezTerm, tmux) or its DA2 type (VTE).
    bool hasTitleStack() const;

    // Whether the terminal told a palette colour: it takes palette changes (OSC 4).
    bool answeredPalette() const;
    // Whether the terminal is known to draw the block elements (▀ ▄ █) itself, edge to edge,
    // rather than from the font: by its name (kitty, foot, WezTerm), its DA2 type (VTE,
    // rxvt-unicode) or Alacritty's DA2 answer (type 0 and a large version number: 1700 from
    // Alacritty 0.11.0). A multiplexer answers for itself, so inside tmux or GNU
    // screen this is false whatever draws outside.
    bool drawsBlockElements() const;

    // Whether the terminal is GNU screen by its DA2 type.
    bool isGnuScreen() const { return secondaryAttributes && terminalType == kTypeGnuScreen; }
};
