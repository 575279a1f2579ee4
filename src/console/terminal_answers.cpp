// What the back end concludes from the terminal's answers.
#include "console/terminal_answers.h"

#include <cstring>

namespace {

// XTVERSION names as these terminals give them; each pushes and pops titles.
constexpr const char* kNamesWithTitleStack[] = {"XTerm(", "kitty(", "foot(", "WezTerm ", "tmux "};

} // namespace

bool TerminalAnswers::synchronizedOutputWorks() const {
    return synchronizedOutput == kModeSet || synchronizedOutput == kModeReset;
}

bool TerminalAnswers::hasTitleStack() const {
    for (const char* prefix : kNamesWithTitleStack) {
        if (std::strncmp(version, prefix, std::strlen(prefix)) == 0) return true;
    }
    return secondaryAttributes && terminalType == kTypeVte;
}

bool TerminalAnswers::answeredPalette() const {
    for (const bool known : paletteKnown)
        if (known) return true;
    return false;
}
