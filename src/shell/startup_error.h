// How the shell reports a start-up failure to the viewer: one message with the caption
// "Demo error.". Implemented per platform (a message box on Windows; on a POSIX terminal
// the terminal is restored first and the words go to standard error).
#pragma once

struct ConsoleScreen;

void showStartupError(ConsoleScreen& console, const char* text);
