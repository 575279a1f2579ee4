// What the back end concludes from the terminal's answers.
#include "console/terminal_answers.h"

#include <cstring>
#include <iterator>

namespace {

// XTVERSION names as these terminals give them; each pushes and pops titles.
constexpr const char* kNamesWithTitleStack[] = {"XTerm(", "kitty(", "foot(", "WezTerm ", "tmux "};

// XTVERSION names of terminals that draw block elements themselves.
constexpr const char* kNamesDrawingBlocks[] = {"kitty(", "foot(", "WezTerm "};

// Alacritty answers DA2 with type 0 and a version in the thousands (0.11.0 says 1700); type 0
// with a small number is some other terminal, not known to draw blocks.
constexpr uint32_t kAlacrittyFirstVersion = 1000;

bool startsWithAny(const char* text, const char* const* prefixes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (std::strncmp(text, prefixes[i], std::strlen(prefixes[i])) == 0) return true;
    }
    return false;
}

} // namespace

bool TerminalAnswers::synchronizedOutputWorks() const {
    return synchronizedOutput == kModeSet || synchronizedOutput == kModeReset;
}

bool TerminalAnswers::hasTitleStack() const {
    if (startsWithAny(version, kNamesWithTitleStack, std::size(kNamesWithTitleStack))) return true;
    return secondaryAttributes && terminalType == kTypeVte;
}

bool TerminalAnswers::answeredPalette() const {
    for (const bool known : paletteKnown)
        if (known) return true;
    return false;
}

bool TerminalAnswers::drawsBlockElements() const {
    if (startsWithAny(version, kNamesDrawingBlocks, std::size(kNamesDrawingBlocks))) return true;
    if (!secondaryAttributes) return false;
    return terminalType == kTypeVte || terminalType == kTypeRxvtUnicode ||
           (terminalType == 0 && terminalVersion >= kAlacrittyFirstVersion);
}
