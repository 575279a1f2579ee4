// The capture's part of --help, apart from the capture itself: the player prints it without
// loading the capture's libraries.
#pragma once

#include <cstdio>

void printCaptureUsage(std::FILE* to);
