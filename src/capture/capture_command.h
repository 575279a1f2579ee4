// `kaveo capture OUTPUT [options]`: the demo as an MP4 video with its soundtrack, as PNG
// pictures or as an asciicast recording, the kind chosen by OUTPUT's extension.
//
// Frame k of a capture at N frames per second shows demo time k / N; frame 0 is the screen at
// start (the grey dots). Files are written beside the target under a temporary name and put
// in its place when complete, so OUTPUT is either whole or as it was. Exit codes: 0 done, 1 a
// failure (nothing left behind), 2 bad arguments, 130 interrupted (the file is finished with
// the frames done).
#pragma once

// The command; argv holds the arguments after "capture".
int runCaptureCommand(int argc, char** argv);
