// The demo in the terminal, as the kaveo executable runs it without a command:
// `kaveo [--silent] [--colors auto|16|256|24bit]`.
#pragma once

#include <cstdio>

// Parses the options (argv holds the arguments after the program's name) and plays the
// demo. Exit codes: 0 after the demo ended, 1 after a start-up failure, 2 bad arguments.
int runTerminalDemo(int argc, char** argv);

// The terminal demo's part of --help: options, keys and environment variables.
void printTerminalUsage(std::FILE* to);
