// InputDecoder: turns the bytes a terminal sends into the console's InputRecords. Pure: bytes
// and millisecond times in, records out; no terminal, clock or allocation.
//
// Decodes: printable ASCII, Space, Enter, Tab, Backspace and Ctrl+letter (Ctrl+C is the key C
// with character 3, never a signal); Escape, told apart from the start of a sequence by
// kEscapeTimeoutMs without a following byte; Alt+key (ESC + key) as the key alone; the
// arrows, Home and End in CSI and SS3 form (ESC [ A, ESC O A, with or without modifier
// parameters); Home, Insert, Delete, End, Page Up, Page Down as ESC [ n ~ (1/7 Home, 4/8 End);
// the kitty keyboard protocol (ESC [ code ; mods : event u) and its flags reply; SGR mouse
// reports (ESC [ < b ; x ; y M/m) for press, release and motion, in cells or (once the
// terminal confirms mode 1016 with ESC [ ? 1016 ; 1 $ y) in pixels, mapped to the picture's
// cells (clamped to its edges) through `pointer`.
// Leaves out: function keys, keypad application keys, the wheel, X10/urxvt mouse encodings
// (an X10 report is consumed and dropped), text outside ASCII (dropped byte by byte).
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/console_screen.h"
#include "console/display_layout.h"

struct InputDecoder {
    static constexpr size_t kBufferSize = 4096;      // bytes waiting to be decoded
    static constexpr size_t kMaxSequence = 64;       // longer escape sequences are garbage
    static constexpr uint32_t kEscapeTimeoutMs = 50; // a lone ESC older than this is Escape
    static constexpr uint32_t kDoubleClickMs = 500;  // second press within this is a double click
    static constexpr size_t kQueueSize = 4;          // one key press plus its release fit

    uint8_t buffer[kBufferSize]; // received bytes not yet decoded, oldest first
    size_t length = 0;
    uint32_t lastInputMs = 0; // when bytes last arrived; an unfinished sequence waits from here

    InputRecord queue[kQueueSize]; // decoded records not yet taken
    size_t queueHead = 0;
    size_t queueCount = 0;

    bool mouseEnabled = false;            // mouse reports are dropped until this is set
    bool terminalReportsReleases = false; // set by the terminal's kitty flags reply
    PointerMap pointer; // where the picture lies on the terminal, in the layout shown
    // The terminal said (DECRPM for mode 1016) that it reports the pointer in pixels; until
    // then reports are read as cells. Pixels are mapped only when `pointer` has a pixel size.
    bool pixelReports = false;

    uint32_t heldButtons = 0;  // button state bits, from the presses and releases seen
    bool clickPending = false; // a press that a second one could make a double click
    uint32_t clickButton = 0;
    int16_t clickColumn = 0;
    int16_t clickRow = 0;
    uint32_t clickMs = 0;

    // Room left in `buffer`; the back end reads straight into buffer + length.
    size_t freeSpace() const { return kBufferSize - length; }

    // Takes note of `count` bytes just placed at buffer + length, received at nowMs.
    void commit(size_t count, uint32_t nowMs);

    // Copies `count` bytes in and commits them; what does not fit is dropped.
    void feed(const void* bytes, size_t count, uint32_t nowMs);

    // Takes the next decoded record into `event`; false, leaving it alone, when no complete
    // record is pending. nowMs (same clock as commit) decides whether an unfinished sequence
    // has waited long enough: a lone ESC then becomes Escape, anything longer is dropped.
    bool next(InputRecord& event, uint32_t nowMs);

    // Forgets the received bytes and the button state (after a suspend, say).
    void reset();
};
