// InputDecoder: turns the bytes a terminal sends into the console's InputRecords and the
// terminal's answers. Pure: bytes and millisecond times in, records and answers out; no
// terminal, clock or allocation.
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
// Answers (into `answers`, never records): DA1 (ESC [ ? ... c), DA2 (ESC [ > t ; v ; k c),
// DECRPM (ESC [ ? mode ; state $ y), XTVERSION (DCS > | name ST), OSC 4 colours
// (OSC 4 ; n ; rgb:r/g/b ST). Strings (DCS ESC P, OSC ESC ], SOS ESC X, PM ESC ^, APC ESC _)
// end at BEL or ST (ESC \), or at a bare ESC followed by another or by silence, as urxvt
// ends them; any other ESC breaks the string off and starts what follows. So Alt with P, ],
// X, ^ or _ is no key.
// The same bytes give the same records however the reads split them, as long as no read
// comes kEscapeTimeoutMs after the one before: a sequence split across reads is completed,
// and one longer than its limit (kMaxSequence, kMaxString) is skipped whole, through its
// final byte or terminator, even when the rest comes in later reads. Silence of
// kEscapeTimeoutMs ends a sequence: an unfinished one is dropped, a skip stops.
// Leaves out: function keys, keypad application keys, the wheel, X10/urxvt mouse encodings
// (an X10 report is consumed and dropped), text outside ASCII (dropped byte by byte), 8-bit
// C1 controls (dropped as text outside ASCII).
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/console_screen.h"
#include "console/display_layout.h"
#include "console/terminal_answers.h"

struct InputDecoder {
    static constexpr size_t kBufferSize = 4096;      // bytes waiting to be decoded
    static constexpr size_t kMaxSequence = 64;       // CSI parameter and intermediate bytes
    static constexpr size_t kMaxString = 256;        // bytes of a string before its terminator
    static constexpr uint32_t kEscapeTimeoutMs = 50; // a lone ESC older than this is Escape
    static constexpr uint32_t kDoubleClickMs = 500;  // second press within this is a double click
    static constexpr size_t kQueueSize = 32; // keys typed while the back end waits for answers

    uint8_t buffer[kBufferSize]; // received bytes not yet decoded, oldest first
    size_t length = 0;
    uint32_t lastInputMs = 0; // when bytes last arrived; an unfinished sequence waits from here

    // The rest of an over-long sequence is being dropped, up to its final byte (a control
    // sequence) or terminator (a string), whichever read brings it.
    enum class Skip : uint8_t { None, ControlSequence, String };
    Skip skipping = Skip::None;
    // The lone ESC at the front had waited kEscapeTimeoutMs when more bytes came: it is
    // Escape, not the start of what came after it.
    bool escapeDue = false;

    TerminalAnswers answers; // what the terminal said about itself so far

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

    // Decodes what it can while the queue has room, so that answers behind a few keys are
    // seen; the records wait in the queue for next().
    void decodeAhead(uint32_t nowMs);

    // Forgets the received bytes, the queued records and the button state (after a suspend,
    // say); the answers stay.
    void reset();
};
