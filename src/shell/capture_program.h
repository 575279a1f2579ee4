// `kaveo capture` runs in a program of its own, kaveo-capture, which alone links the video
// and picture libraries (FFmpeg, libpng): the player starts without loading them.
#pragma once

// Replaces this process with kaveo-capture and the arguments after "capture" (argv). Returns
// only when that fails, with exit code 1 after saying why.
int runCaptureProgram(int argc, char** argv);
