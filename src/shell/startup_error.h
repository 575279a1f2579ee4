// How the shell reports a start-up failure to the viewer: one message with the caption
// "Demo error.". Implemented per platform (a message box on Windows; on a POSIX terminal
// the terminal is restored first and the words go to standard error; the web page shows the
// start-up results itself, so src/web/startup_error_web.cpp does nothing).
#pragma once

struct ConsoleScreen;

void showStartupError(ConsoleScreen& console, const char* text);
