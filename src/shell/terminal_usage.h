// The terminal demo's part of --help, apart from the demo itself: the launcher prints it
// without loading the player's libraries.
#pragma once

#include <cstdio>

// Options, keys and environment variables.
void printTerminalUsage(std::FILE* to);
