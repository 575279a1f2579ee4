// ConsoleScreen: the program's only contact with the text console. It is a CellImage (the
// back buffer the scenes draw into) plus the back end's own state; the operations below
// are the whole seam, implemented once per platform (console_screen_posix.cpp,
// console_screen_win32.cpp, and for the web page src/web/console_screen_web.cpp), chosen by
// CMake.
#pragma once

#include <atomic>
#include <cstdint>

#include "gfx/cell.h"

// [SECTION] Input records, in the console's vocabulary that the controls read.
constexpr uint16_t kKeyEvent = 1;
constexpr uint16_t kMouseEvent = 2;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes; keys without a
// code of their own (punctuation) come as 0 with the character in asciiChar.
constexpr uint16_t kVkBack = 8;
constexpr uint16_t kVkTab = 9;
constexpr uint16_t kVkReturn = 13;
constexpr uint16_t kVkEscape = 27;
constexpr uint16_t kVkSpace = 32;
constexpr uint16_t kVkPrior = 33; // Page Up
constexpr uint16_t kVkNext = 34;  // Page Down
constexpr uint16_t kVkEnd = 35;
constexpr uint16_t kVkHome = 36;
constexpr uint16_t kVkLeft = 37;
constexpr uint16_t kVkUp = 38;
constexpr uint16_t kVkRight = 39;
constexpr uint16_t kVkDown = 40;
constexpr uint16_t kVkInsert = 45;
constexpr uint16_t kVkDelete = 46;
constexpr uint16_t kVkM = 77;
constexpr uint16_t kVkN = 78;

// Mouse button state bits and event flags.
constexpr uint32_t kFromLeft1stButtonPressed = 0x1;
constexpr uint32_t kRightmostButtonPressed = 0x2;
constexpr uint32_t kFromLeft2ndButtonPressed = 0x4; // the middle button
constexpr uint32_t kMouseMoved = 0x1;
constexpr uint32_t kDoubleClick = 0x2;

struct KeyEventRecord {
    bool keyDown;            // true on press and repeat, false on release
    uint16_t repeatCount;    // 1
    uint16_t virtualKeyCode; // kVk* or the upper-case letter / digit
    uint8_t asciiChar;       // the character typed, 0 for none
};

struct MouseEventRecord {
    int16_t column;       // cell under the pointer, 0 = leftmost column of the picture
    int16_t row;          // 0 = top row of the picture
    uint32_t buttonState; // kFromLeft1stButtonPressed | kRightmostButtonPressed
    uint32_t eventFlags;  // 0 for a press or release, kMouseMoved, kDoubleClick
};

// One console event. `key` is valid when eventType is kKeyEvent, `mouse` when kMouseEvent.
struct InputRecord {
    uint16_t eventType;
    KeyEventRecord key;
    MouseEventRecord mouse;
};

// How present() colours the cells. Auto picks from the terminal's answers, COLORTERM and TERM.
// Palette: the terminal's palette entries set to the exact colours, then drawn with the short
// 16-colour codes (and, for the mixes of half, entries 16-255).
enum class ColorMode : uint8_t { Auto, Colors16, Colors256, TrueColor, Palette };

// How a terminal shows the picture's cells, which are square in the picture's own geometry
// while a terminal's character cells are about twice as tall as wide. Wide: each cell as two
// identical columns (twice the picture's width). Half: two stacked cells in one character, as
// the colours of a half block (half the picture's height). Cells: one character per
// cell. Auto: wide where it fits, else half in 256 and 24-bit colour, else cells; chosen
// again on every resize.
enum class DisplayLayout : uint8_t { Auto, Wide, Half, Cells };

// The back end's own state (terminal descriptors, buffers, or the Win32 handles).
struct ConsolePlatform;

struct ConsoleScreen : CellImage {
    ConsolePlatform* platform = nullptr;        // allocated by open, freed by close
    ColorMode colorMode = ColorMode::Auto;      // set before open
    DisplayLayout layout = DisplayLayout::Auto; // set before open

    // The terminal's size (columns, rows) when a frame last showed only part of the picture;
    // 0 x 0 when the whole picture was always shown. Kept after close for the shell's note.
    int32_t croppedColumns = 0;
    int32_t croppedRows = 0;

    // Opens the console showing `title`, sized width x height, with the back buffer
    // allocated. On false, what was done so far is left for close().
    bool open(const char* title, int32_t width, int32_t height);

    // Shows the whole back buffer. Returns false when the console refused it; callers ignore it.
    bool present();

    // Takes one pending input event into `event`; false, leaving `event` alone, when none
    // is pending. Never blocks.
    bool pollInput(InputRecord& event);

    // Switches mouse events on or off.
    void setMouseInput(bool on);

    // Sets the window title (the statistics title replaces the start-up one).
    void setTitle(const char* title);

    // Shows the picture in the next layout (wide, half, cells, then wide again), from the
    // one shown now, and keeps it across resizes. Does nothing where the console has no
    // layouts (the Win32 console shows its own grid).
    void cycleLayout();

    // Restores the console and frees the back buffer; safe after a failed or no open.
    void close();
};

// Set by the console's control/signal handling when the console goes away or the process
// is asked to end; read by the main loop before every frame. Goes from false to true once.
extern std::atomic<bool> QuitFlag;
