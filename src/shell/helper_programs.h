// The launcher's helper programs. Playing in the terminal (kaveo-play: the console, SDL2 and
// libmpg123) and capturing (kaveo-capture: FFmpeg and libpng) run in programs of their own,
// so that `kaveo` itself starts without loading their libraries and the player never loads
// the capture's.
#pragma once

// Replace this process with kaveo-play or kaveo-capture and `argv`, the arguments for it.
// Return only when that fails, with exit code 1 after saying why (2 in a build without them).
int runPlayProgram(int argc, char** argv);
int runCaptureProgram(int argc, char** argv);
