// A libvterm terminal for the console tests: takes the bytes a real terminal would, and
// compares what it shows with a back buffer, character and colour.
#pragma once

#include <vterm.h>

#include <cstdint>
#include <string>

#include "console/console_screen.h"

struct EmulatedTerminal {
    VTerm* vt = nullptr;
    VTermScreen* screen = nullptr;
    std::string title;
    bool altScreen = false;
    bool cursorVisible = true;
    int mouseMode = 0; // VTERM_PROP_MOUSE_*
    // Palette entries the bytes set (OSC 4) as 0xRRGGBB, -1 where the terminal's own stands
    // (never set, or reset by OSC 104): libvterm keeps no palette of its own.
    int palette[256];
    std::string oscCarry;             // the start of an OSC command the bytes so far have not ended
    bool ignoresPaletteReset = false; // as urxvt, which knows no OSC 104

    EmulatedTerminal(int columns, int rows);
    ~EmulatedTerminal();
    EmulatedTerminal(const EmulatedTerminal&) = delete;
    EmulatedTerminal& operator=(const EmulatedTerminal&) = delete;

    void write(const char* bytes, size_t count);
    void resize(int columns, int rows);

    // The code point shown at (column, row); 0x20 for an erased cell.
    uint32_t character(int column, int row) const;

    // Empty when the terminal shows the visibleWidth x visibleHeight top-left part (in
    // terminal cells) of `image` laid out in `layout` at (originColumn, originRow) in `mode`'s
    // colours, else the first difference. In Palette, indexed colours are read through the
    // entries the bytes set and must show the 24-bit colours.
    // colours, else the first difference. Half blocks: ▄ in the lower cell's colour over the
    // upper's; under `either` also ▀ in the upper's over the lower's.
    std::string mismatch(const CellImage& image, int originColumn, int originRow, int visibleWidth,
                         int visibleHeight, ColorMode mode,
                         DisplayLayout layout = DisplayLayout::Cells, bool either = false) const;
};
