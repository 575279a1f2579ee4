// The capture's program. Capturing (kaveo-capture: FFmpeg and libpng) runs in a program of its
// own, so that `kaveo`, which plays, starts without loading the capture's libraries.
#pragma once

// Replace this process with kaveo-capture and `argv`, the arguments for it. Returns only when
// that fails, with exit code 1 after saying why (2 in a build without it).
int runCaptureProgram(int argc, char** argv);
