// What the web player adds to the console seam: the page hands its key and mouse events in,
// and reads the title and the mouse mode back.
#pragma once

#include "console/console_screen.h"

// Queues one event for pollInput. False, dropping it, when the console is not open or the
// queue is full (the page sends far fewer events per frame than it holds).
bool consolePushInput(ConsoleScreen& console, const InputRecord& event);
// Whether the controls asked for mouse events (setMouseInput); mouse events are dropped
// until then, as a console delivers none.
bool consoleMouseInput(const ConsoleScreen& console);
// The last title set, "" before any; valid while the console is open.
const char* consoleTitle(const ConsoleScreen& console);
