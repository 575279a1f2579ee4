// The demo in the terminal, as `kaveo` without a command plays it:
// `kaveo [--silent] [--colors auto|16|256|24bit] [--layout auto|wide|half|cells]`.
#pragma once

// Parses the options (argv holds the arguments after the program's name) and plays the
// demo; after a run that showed only part of the picture, says on standard error (once the
// terminal is restored) what size shows it whole. Exit codes: 0 after the demo ended, 1 after
// a start-up failure, 2 bad arguments.
int runTerminalDemo(int argc, char** argv);
