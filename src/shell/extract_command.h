// `kaveo extract NAME [--output FILE]` writes the embedded resource NAME (any letter case)
// unchanged, to a terminal only with "--output -". Exit codes: 0 done, 1 the output failed,
// 2 bad arguments or an unknown name (the known names are listed).
#pragma once

// The command; argv holds the arguments after "extract".
int runExtractCommand(int argc, char** argv);
