// The commands build strings and lists (options, names, messages): memory running out there
// ends the command with its message and exit code 1 rather than an uncaught exception.
#pragma once

// Runs body(argc, argv) and returns its exit code, or 1 after "kaveo COMMAND: out of memory".
int runCatchingOutOfMemory(const char* command, int (*body)(int, char**), int argc, char** argv);
