// The frames the console benchmarks encode: the whole demo as the shell plays it, grey dots
// first, then a frame every 10 ms of demo time.
#pragma once

#include <vector>

#include "gfx/cell.h"

constexpr double kDemoFrameSeconds = 0.01;

// Drawn once per process and kept (about 5,900 frames of 16,000 bytes).
const std::vector<CellImage>& demoFrames();
