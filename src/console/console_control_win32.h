// The Win32 console's control handler, declared for the Windows tests, which call it as the
// system would. Sets the quit flag for Ctrl+Break, close, logoff and shutdown; for the last
// three it returns only once ConsoleScreen::close has run (or after five seconds).
#pragma once

#include <windows.h>

BOOL WINAPI onConsoleControl(DWORD controlType);
