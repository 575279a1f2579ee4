// `kaveo render` draws the demo's frames without a terminal or sound and writes them as cells,
// text or the bytes that draw them in a terminal. Exit codes: 0 done, 1 the content or the
// output failed, 2 bad arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/console_screen.h"

struct CellImage;
struct DemoContent;
struct TerminalOutput;

// Inclusive range of frame numbers, first >= 1.
struct FrameRange {
    uint64_t first;
    uint64_t last;
};

enum class FrameFormat { Cells, Text, Ansi };

struct RenderOptions {
    double dt = 0.01;               // seconds per frame
    std::vector<FrameRange> frames; // sorted, merged; empty selects every frame
    FrameFormat format = FrameFormat::Cells;
    DisplayLayout layout = DisplayLayout::Wide; // of Ansi; Auto counts as Wide
    ColorMode colors = ColorMode::TrueColor;    // of Ansi; Auto is resolved by the command
    const char* output = nullptr;               // null: standard output
};

// Parses "100,250-260,966" into sorted, merged ranges. False with a reason on bad input.
bool parseFrameList(const char* text, std::vector<FrameRange>& ranges, std::string& error);

// Parses the arguments after "render". False with a one-line reason on bad input.
bool parseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error);

// Writes a frame as 50 lines of UTF-8 (one per row), then an empty line, into out, which
// must hold kFrameTextCapacity bytes. Returns the number of bytes written.
constexpr size_t kFrameTextCapacity = 50 * (80 * 3 + 1) + 1;
size_t formatFrameText(const CellImage& frame, char* out);

// Writes a frame as character and attribute low bytes, cell by cell: 8,000 bytes.
constexpr size_t kFrameCellBytes = 80 * 50 * 2;
void formatFrameCells(const CellImage& frame, uint8_t* out);

// Sets `output` up to draw whole frames in `layout` (Auto counts as Wide) and `mode` (not
// Auto) on a terminal of exactly the layout's grid, as the terminal program would. False
// when it cannot allocate.
bool startAnsiFrames(TerminalOutput& output, DisplayLayout layout, ColorMode mode);

// Writes what the terminal program sends to draw `frame` whole on a cleared terminal, with
// the encoder `output` set up by startAnsiFrames: clear, cursor home, every cell, then the
// colours reset. False when writing fails.
bool writeFrameAnsi(TerminalOutput& output, const CellImage& frame, std::FILE* out);

// Draws frames 1, 2, ... of a loaded content (from the grey-dot start screen) and writes the
// selected ones to out. Stops after the last selected frame or when the demo ends. Shows
// progress on `progress` when it is not null. False when writing fails.
bool renderFrames(DemoContent& content, const RenderOptions& options, std::FILE* out,
                  std::FILE* progress);

// The usage of the headless commands, render and extract.
void printUsage(std::FILE* to);

// True, after saying why on standard error, when binary data would go to a terminal: no
// `output` was given and standard output is one ("--output -" insists).
bool refuseTerminal(const char* command, const char* output);

// The command; argv holds the arguments after "render".
int runRenderCommand(int argc, char** argv);
