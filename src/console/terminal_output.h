// TerminalOutput: turns the back buffer, and what the terminal shows already, into the bytes
// that bring the terminal up to date. Pure: no terminal is touched; present() writes the bytes.
//
// Layouts (DisplayLayout): the picture's cells one to a character (cells), as two identical
// columns (wide) or two to a character as the colours of a half block (half); Auto picks by
// the terminal's size and the colour mode, again on every resize.
// Colour modes: 16 colours (SGR 30-37/90-97, 40-47/100-107: the terminal theme's colours),
// 256 colours and 24-bit colour (both pinned to the classic console palette, so the picture
// looks the same in every theme), and palette: the terminal's entries 0-15 set to the classic
// colours (classicPaletteSequence, sent by whoever talks to the terminal), then the 16-colour
// codes; half's mixes take entries 16-255 of their own as they are needed, an entry only
// when no terminal cell shows it any more, else go out as 24-bit codes. Characters are code page
// 437 shown as UTF-8; a full block goes out as a space on its colour, which no font draws with a
// seam. A terminal smaller than the layout's grid shows its top-left part; a larger one shows it
// centred. Only terminal cells that differ from what the terminal shows are written, with the
// cheapest cursor move and only the colour parameters that change. Every buffer is allocated
// once, by create(), for the widest layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "console/classic_colors.h"
#include "console/console_screen.h"
#include "console/display_layout.h"

// Whether TERM and TMUX (either may be null) say the program runs inside GNU screen: TERM
// names screen ("screen", "screen.*", "screen-*") and TMUX is unset, as tmux sets it and may
// use a screen TERM. Screen started inside tmux keeps TMUX: there only its answer to DA2 tells.
bool environmentSaysGnuScreen(const char* term, const char* tmux);

// The mode for Auto: Palette where the terminal answered a palette question
// (`paletteAnswered`) and is not GNU screen, else picked from the COLORTERM and TERM variables
// (either may be null): "truecolor"/"24bit" or a TERM ending in "-direct" give TrueColor, a
// TERM naming "256color" gives Colors256, anything else Colors16. Inside GNU screen
// (`gnuScreen`), whose version 4 drops 24-bit colour codes, Colors256 stands in for
// TrueColor. Palette asked for where the terminal did not answer (or in GNU screen) becomes
// TrueColor (Colors256 in GNU screen); other modes are returned unchanged: they are the user's.
ColorMode resolveColorMode(ColorMode requested, const char* colorterm, const char* term,
                           bool gnuScreen = false, bool paletteAnswered = false);

// Sets the terminal's palette entries 0-15 to the classic console colours (OSC 4), and puts
// back the terminal's own palette (OSC 104: every entry, ours among them).
const char* classicPaletteSequence();
extern const char kResetPalette[];

// Writes "n;rgb:rr/gg/bb" (NUL-terminated, at most 18 bytes and the NUL), one entry of an
// OSC 4 sequence; returns its length.
size_t paletteEntryText(char* out, uint32_t entry, uint32_t rgb);

// 0xRRGGBB of a colour.
uint32_t packedColor(Rgb color);

// One terminal character cell as the terminal shows it: a code page 437 glyph and two colours
// in the output's colour mode (a console colour 0-15 in Colors16, an xterm index 0-255 in
// Colors256, 0xRRGGBB in TrueColor, a colour number in Palette: 0-15 the console colours,
// 16 up the other colours half mixes). A blank glyph's foreground is 0: only its background
// shows.
struct ShownCell {
    uint32_t foreground;
    uint32_t background;
    uint8_t glyph;
};

// The glyphs of the half layout. A terminal that draws half blocks from its font leaves a
// seam at one edge of each: fewest with the lower half block (▄, the lower cell's colour on
// the upper's). Lower writes ▄ alone. Either writes ▀ or ▄ per character, whichever needs
// fewer colour changes: fewer bytes, for terminals that draw block elements themselves, where
// the two look the same.
enum class HalfGlyphs : uint8_t { Lower, Either };

struct TerminalOutput {
    // Longest title kept, in code page 437 bytes; longer titles are cut.
    static constexpr size_t kMaxTitle = 128;
    // Room before the frame for control sequences (title, mouse modes).
    static constexpr size_t kControlBytes = 1024;
    // A terminal cell costs at most a cursor move (12), both colours in 24-bit form (36), two
    // palette entries set (2 x 22) and a glyph (3).
    static constexpr size_t kMaxCellBytes = 96;
    // Room after the worst frame for what ends it (synchronized output).
    static constexpr size_t kTrailerBytes = 32;

    ColorMode colorMode = ColorMode::Colors16;            // never Auto; set with setColorMode
    DisplayLayout requestedLayout = DisplayLayout::Cells; // set with setLayout; may be Auto
    DisplayLayout layout = DisplayLayout::Cells;          // the one shown, never Auto
    HalfGlyphs halfGlyphs = HalfGlyphs::Lower; // from the terminal's answers, before a frame
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t terminalColumns = 0;
    int32_t terminalRows = 0;
    int32_t gridColumns = 0;   // terminal columns the layout needs for the whole picture
    int32_t gridRows = 0;      // terminal rows it needs
    int32_t originColumn = 0;  // terminal column (0-based) of the picture's left edge
    int32_t originRow = 0;     // terminal row (0-based) of the picture's top edge
    int32_t visibleWidth = 0;  // terminal columns of the grid that fit on the terminal
    int32_t visibleHeight = 0; // terminal rows of the grid that fit

    // The picture of the last frame, picture-sized. Unless repaintAll is set, the terminal
    // shows exactly its terminal cells, so it also stands for what the terminal shows:
    // terminal cells whose picture cells are unchanged, or look the same, are skipped.
    std::unique_ptr<Cell[]> lastBack;
    std::unique_ptr<char[]> bytes; // the bytes of one frame
    size_t capacity = 0;           // of `bytes`: the worst frame, a 24-bit full repaint of `wide`
    size_t length = 0;             // bytes of the frame built so far

    bool repaintAll = true; // the next frame clears the terminal and writes every cell
    // Where the terminal's cursor is (0-based); column == terminalColumns after a write into
    // the last column (pending wrap), row -1 when unknown.
    int32_t cursorColumn = 0;
    int32_t cursorRow = -1;

    uint32_t penForeground = 0; // the terminal's colours, in the mode's units; valid when
    uint32_t penBackground = 0; // penKnown
    bool penKnown = false;

    // Precomputed by setColorMode: each console colour in the mode's units, and in half the
    // colour a viewer sees of a cell, by the glyph's ink share and the cell's attribute.
    static constexpr int kInkShares = 17; // 0 to 16 sixteenths
    uint32_t consoleColor[16] = {};
    uint32_t mixedColor[kInkShares][256] = {};
    uint8_t glyphInk[256] = {}; // sixteenths of ink of each code page 437 glyph
    // SGR parameters of each colour in Colors16 and Colors256 (index: the colour; [0] foreground,
    // [1] background), so a colour change only copies bytes; 24-bit ones are written out.
    char indexedSgr[2][256][12] = {};
    uint8_t indexedSgrLength[2][256] = {};

    // Palette mode. Each colour number's RGB; the entry (16-255) that holds it, 0 for none;
    // each entry's colour number and how many terminal cells show it, as a foreground or a
    // background. An entry is given a new colour only when no cell shows it.
    static constexpr int kMaxColors = 16 + kInkShares * 256;
    // Half's mixes take entries 16-99 (two digits to name, and few enough that leaving can
    // put each back one by one); more at once go out as 24-bit codes.
    static constexpr uint32_t kPaletteEntriesEnd = 100;
    uint32_t colorRgb[kMaxColors] = {};
    uint8_t entryOf[kMaxColors] = {};
    uint16_t entryColor[256] = {};
    uint32_t entryUsers[256] = {};
    // The entries each terminal cell of half shows (foreground, background; 0 for none),
    // by grid row and column.
    std::unique_ptr<uint8_t[]> cellEntries;
    uint8_t penForegroundEntry = 0; // the entries the pen's colours are drawn with, 0 for
    uint8_t penBackgroundEntry = 0; // a console colour or a 24-bit code

    // Allocates the terminal copies and the byte buffer for a width x height picture in its
    // widest layout. False, with nothing allocated, when an allocation fails or the size is
    // not positive.
    bool create(int32_t width, int32_t height);

    // Chooses the colours; Auto counts as Colors16 here (resolve it first). Re-chooses an
    // Auto layout and repaints next frame.
    void setColorMode(ColorMode mode);

    // Chooses the layout (Auto: by the terminal's size and the colour mode, again on every
    // resize) and repaints next frame.
    void setLayout(DisplayLayout requested);

    // Lays the picture out on a terminal of columns x rows (clamped to 1..9999), re-choosing
    // an Auto layout, and asks for a full repaint. Needed before the first frame.
    void setTerminalSize(int32_t columns, int32_t rows);

    // Whether the terminal shows only part of the layout's grid.
    bool cropped() const { return visibleWidth < gridColumns || visibleHeight < gridRows; }

    // How pointer positions on the terminal map to the picture's cells in this layout.
    PointerMap pointerMap() const;

    // Forgets what the terminal shows, palette entries 16-255 included: the next frame
    // repaints everything and sets again the entries it uses (after a resume, whose leaving
    // reset the palette, or a write that may not have reached the terminal).
    void invalidate();

    // Starts a new frame's bytes. Then, in this order: any appendBytes/appendTitle, then one
    // appendFrame, then any appendTrailer.
    void begin() { length = 0; }

    // Appends a control sequence; dropped whole if the control room is used up.
    void appendBytes(const char* data, size_t count);

    // Appends a control sequence after the frame; dropped whole past kTrailerBytes.
    void appendTrailer(const char* data, size_t count);

    // Appends the sequence that sets the window title to the NUL-terminated code page 437
    // `title` (cut at kMaxTitle bytes).
    void appendTitle(const char* title);

    // The terminal cell at grid column, row (0-based, within visibleWidth x visibleHeight)
    // as the frames appended so far leave it; meaningless before the first. A half block is
    // given as ▄ (under Either it may be the ▀ that looks the same).
    ShownCell shownAt(int32_t column, int32_t row) const;

    // Appends what turns the terminal's picture into `back` (a CellImage of the size given to
    // create) in the current layout, and takes that as what the terminal shows.
    void appendFrame(const CellImage& back);
};
