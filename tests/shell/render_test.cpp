// The headless renderer: its argument parsing, the frame formats (ANSI frames replayed in
// libvterm), the code page 437 table, and rendering selected frames of the real demo.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console/display_layout.h"
#include "console/terminal_output.h"
#include "demo/demo_content.h"
#include "emulated_terminal.h"
#include "gfx/cp437.h"
#include "gfx/next_random.h"
#include "shell/render_command.h"

namespace {

bool sameRanges(const std::vector<FrameRange>& got, const std::vector<FrameRange>& want) {
    if (got.size() != want.size()) return false;
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i].first != want[i].first || got[i].last != want[i].last) return false;
    return true;
}

TEST(FrameList, ParsesNumbersAndRangesSortedAndMerged) {
    struct Case {
        const char* text;
        std::vector<FrameRange> ranges;
    };
    const Case cases[] = {
        {"100,250-260,966", {{100, 100}, {250, 260}, {966, 966}}},
        {"7", {{7, 7}}},
        {"7-7", {{7, 7}}},
        {"5,3-4,1", {{1, 1}, {3, 5}}}, // out of order, 3-4 and 5 touch
        {"1-3,2-6,6", {{1, 6}}},       // overlaps
        {"10-20,1-2", {{1, 2}, {10, 20}}},
        {"999999999999", {{999999999999, 999999999999}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<FrameRange> ranges;
        std::string error;
        ASSERT_TRUE(parseFrameList(c.text, ranges, error)) << error;
        EXPECT_TRUE(sameRanges(ranges, c.ranges));
    }
}

TEST(FrameList, RejectsMalformedLists) {
    for (const char* text : {"", ",", "1,", ",1", "0", "0-3", "3-2", "a", "1-", "-3", "1 2", "1,,2",
                             "1-2-3", "+1", "1.5", "99999999999999999999", "1;2"}) {
        SCOPED_TRACE(text);
        std::vector<FrameRange> ranges;
        std::string error;
        EXPECT_FALSE(parseFrameList(text, ranges, error));
        EXPECT_FALSE(error.empty());
    }
}

// The options point into the words, so the caller keeps them alive.
bool parse(std::vector<std::string>& words, RenderOptions& options, std::string& error) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return parseRenderOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(RenderOptionsParsing, DefaultsAndEachOptionInBothForms) {
    RenderOptions options;
    std::string error;
    std::vector<std::string> none;
    ASSERT_TRUE(parse(none, options, error));
    EXPECT_EQ(options.dt, 0.01);
    EXPECT_TRUE(options.frames.empty());
    EXPECT_EQ(options.format, FrameFormat::Cells);
    EXPECT_EQ(options.output, nullptr);
    EXPECT_EQ(options.layout, DisplayLayout::Wide);
    EXPECT_EQ(options.colors, ColorMode::TrueColor);

    RenderOptions spaced;
    std::vector<std::string> words = {"--dt",     "0.02", "--frames", "3,1",
                                      "--format", "text", "--output", "x.txt"};
    ASSERT_TRUE(parse(words, spaced, error)) << error;
    EXPECT_EQ(spaced.dt, 0.02);
    EXPECT_TRUE(sameRanges(spaced.frames, {{1, 1}, {3, 3}}));
    EXPECT_EQ(spaced.format, FrameFormat::Text);
    EXPECT_STREQ(spaced.output, "x.txt");

    RenderOptions joined;
    std::vector<std::string> joinedWords = {"--dt=0.5", "--format=cells", "--frames=2-4"};
    ASSERT_TRUE(parse(joinedWords, joined, error)) << error;
    EXPECT_EQ(joined.dt, 0.5);
    EXPECT_TRUE(sameRanges(joined.frames, {{2, 4}}));

    // The terminal program's spellings of layouts and colour modes.
    RenderOptions ansi;
    std::vector<std::string> ansiWords = {"--layout", "half", "--colors=truecolor",
                                          "--format=ansi"};
    ASSERT_TRUE(parse(ansiWords, ansi, error)) << error;
    EXPECT_EQ(ansi.format, FrameFormat::Ansi);
    EXPECT_EQ(ansi.layout, DisplayLayout::Half);
    EXPECT_EQ(ansi.colors, ColorMode::TrueColor);
}

TEST(RenderOptionsParsing, RejectsBadArgumentsWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {"--dt"},
        {"--dt", "0"},
        {"--dt", "-0.01"},
        {"--dt", "abc"},
        {"--dt", "nan"},
        {"--dt", "inf"},
        {"--dt", "1e-9"},
        {"--dt", "61"},
        {"--dt", "0.1x"},
        {"--format", "png"},
        {"--format"},
        {"--frames", "0"},
        {"--frames"},
        {"--output"},
        {"--output="},
        {"--bogus"},
        {"render"},
        {"--dtx", "1"},
        {"--dt", "0.1", "--dt", "0.2"},
        {"--format", "ansi", "--layout", "tall"},
        {"--format", "ansi", "--layout"},
        {"--format", "ansi", "--colors", "15"},
        {"--format", "ansi", "--colors", "256", "--colors", "16"},
        {"--layout", "half"}, // layouts and colours are only for ansi
        {"--format", "text", "--colors", "16"},
    };
    for (auto words : cases) {
        std::string joined;
        for (const std::string& w : words) joined += w + " ";
        SCOPED_TRACE(joined);
        RenderOptions options;
        std::string error;
        EXPECT_FALSE(parse(words, options, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos); // one line
    }
}

TEST(Cp437, MapsShadesBlocksControlGlyphsAndTheEnds) {
    const std::pair<uint8_t, const char*> cases[] = {
        {'A', "A"},       {0x00, " "},      {0x01, "\u263A"}, {0x7F, "\u2302"}, {0xB0, "\u2591"},
        {0xB2, "\u2593"}, {0xC5, "\u253C"}, {0xDB, "\u2588"}, {0xDE, "\u2590"}, {0xDF, "\u2580"},
        {0x80, "\u00C7"}, {0xE1, "\u00DF"}, {0xFF, "\u00A0"}};
    for (const auto& [character, utf8] : cases) {
        const Utf8Glyph& glyph = cp437Utf8(character);
        EXPECT_EQ(std::string(glyph.bytes, glyph.length), utf8) << int{character};
    }
    // Every byte maps to a printable character: none to a control code.
    for (int b = 0; b < 256; ++b) EXPECT_GE(kCp437Unicode[b], 0x20) << b;
}

CellImage patternFrame() {
    CellImage frame;
    EXPECT_TRUE(frame.create(80, 50));
    for (int i = 0; i < 4000; ++i)
        frame.cells[i] = Cell{static_cast<uint16_t>(i % 256), static_cast<uint16_t>((i * 7) % 256)};
    frame.cells[5].character = 0x1B2; // only the low bytes are written
    frame.cells[5].attribute = 0x31F;
    return frame;
}

TEST(FrameFormats, CellsAreLowBytePairsRowByRow) {
    const CellImage frame = patternFrame();
    std::vector<uint8_t> bytes(kFrameCellBytes);
    formatFrameCells(frame, bytes.data());
    EXPECT_EQ(bytes[2 * 5], 0xB2);
    EXPECT_EQ(bytes[2 * 5 + 1], 0x1F);
    EXPECT_EQ(bytes[2 * 81], 81); // cell (1, 1)
    EXPECT_EQ(bytes[2 * 81 + 1], (81 * 7) % 256);
    EXPECT_EQ(bytes[2 * 3999], 3999 % 256);
}

TEST(FrameFormats, TextIsFiftyLinesOfEightyCharactersThenAnEmptyLine) {
    const CellImage frame = patternFrame();
    std::vector<char> text(kFrameTextCapacity);
    const size_t length = formatFrameText(frame, text.data());
    ASSERT_LE(length, kFrameTextCapacity);
    const std::string all(text.data(), length);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all.substr(all.size() - 2), "\n\n");
    size_t start = 0;
    int lines = 0;
    while (start < all.size()) {
        const size_t end = all.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = all.substr(start, end - start);
        int codePoints = 0;
        for (unsigned char c : line) codePoints += (c & 0xC0) != 0x80;
        EXPECT_EQ(codePoints, lines < 50 ? 80 : 0) << "line " << lines;
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 51);
    // Row 0 starts with bytes 0, 1, 2: a space, then the two faces.
    EXPECT_EQ(all.substr(0, 7), " \u263A\u263B");
}

std::string readAll(std::FILE* file) {
    std::string bytes(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

struct AnsiCase {
    DisplayLayout layout;
    ColorMode colors;
};
constexpr AnsiCase kAnsiCases[] = {
    {DisplayLayout::Wide, ColorMode::TrueColor},  {DisplayLayout::Wide, ColorMode::Colors256},
    {DisplayLayout::Wide, ColorMode::Colors16},   {DisplayLayout::Half, ColorMode::TrueColor},
    {DisplayLayout::Half, ColorMode::Colors256},  {DisplayLayout::Half, ColorMode::Colors16},
    {DisplayLayout::Cells, ColorMode::TrueColor}, {DisplayLayout::Cells, ColorMode::Colors256},
    {DisplayLayout::Cells, ColorMode::Colors16}};

// Replays an ANSI frame in a terminal of the layout's grid that shows something else: empty
// when it then shows `frame` with the colours reset, else the first difference.
std::string replayMismatch(const std::string& ansi, const CellImage& frame, AnsiCase c) {
    int columns = 0, rows = 0;
    displayGridSize(c.layout, 80, 50, columns, rows);
    EmulatedTerminal terminal(columns, rows);
    const std::string junk =
        "\x1b[1;33;44m" + std::string(static_cast<size_t>(columns * rows), 'Z');
    terminal.write(junk.data(), junk.size());
    terminal.write(ansi.data(), ansi.size());
    std::string problem = terminal.mismatch(frame, 0, 0, columns, rows, c.colors, c.layout);
    if (!problem.empty()) return problem;
    terminal.write("\x1b[HX", 4); // in the colours the frame left behind
    VTermScreenCell cell{};
    vterm_screen_get_cell(terminal.screen, VTermPos{0, 0}, &cell);
    if (!VTERM_COLOR_IS_DEFAULT_FG(&cell.fg) || !VTERM_COLOR_IS_DEFAULT_BG(&cell.bg))
        return "colours not reset after the frame";
    return "";
}

TEST(FrameFormats, AnsiFramesEachDrawTheWholeFrameInEveryLayoutAndMode) {
    const CellImage pattern = patternFrame(); // every glyph and attribute
    CellImage before;
    ASSERT_TRUE(before.create(80, 50));
    before.fillRect(Cell{0xB1, 0x4E}, 0, 0, 80, 50);
    for (const AnsiCase c : kAnsiCases) {
        SCOPED_TRACE(std::string(displayLayoutName(c.layout)) + " in mode " +
                     std::to_string(static_cast<int>(c.colors)));
        auto output = std::make_unique<TerminalOutput>();
        ASSERT_TRUE(startAnsiFrames(*output, c.layout, c.colors));
        // The second frame alone draws everything, whatever the encoder sent before.
        std::FILE* first = std::tmpfile();
        std::FILE* second = std::tmpfile();
        ASSERT_TRUE(first && second);
        EXPECT_TRUE(writeFrameAnsi(*output, before, first));
        EXPECT_TRUE(writeFrameAnsi(*output, pattern, second));
        std::fclose(first);
        EXPECT_EQ(replayMismatch(readAll(second), pattern, c), "");
    }
}

// Renders with a fresh content and random sequence, as a new process would.
std::string render(const char* frames, FrameFormat format, double dt = 0.01,
                   AnsiCase ansi = kAnsiCases[0]) {
    RandomState = 1;
    auto content = std::make_unique<DemoContent>();
    EXPECT_TRUE(content->load());
    RenderOptions options;
    options.dt = dt;
    options.format = format;
    options.layout = ansi.layout;
    options.colors = ansi.colors;
    std::string error;
    if (frames != nullptr) {
        EXPECT_TRUE(parseFrameList(frames, options.frames, error)) << error;
    }
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    EXPECT_TRUE(renderFrames(*content, options, out, nullptr));
    return readAll(out);
}

TEST(RenderFrames, WritesOnlyTheSelectedFramesStartingFromTheDots) {
    const std::string cells = render("1,3", FrameFormat::Cells);
    ASSERT_EQ(cells.size(), 2 * kFrameCellBytes);
    // Frame 1 (t = 0.01): the dissolve has blanked 15 cells (0.01 as a float is just short
    // of 16 cells' worth); everything else is still the grey dots.
    int dots = 0, blanks = 0;
    for (size_t i = 0; i < kFrameCellBytes; i += 2) {
        dots += cells[i] == '.' && cells[i + 1] == 0x07;
        blanks += cells[i] == ' ' && cells[i + 1] == 0x07;
    }
    EXPECT_EQ(dots, 3985);
    EXPECT_EQ(blanks, 15);
}

TEST(RenderFrames, AFrameDependsOnEveryFrameBeforeItNotOnTheSelection) {
    // The bubbles and the tunnel carry state from frame to frame: frame 2800 alone must be
    // the frame 2800 of a run that writes everything.
    const std::string alone = render("2800", FrameFormat::Cells);
    const std::string all = render("2799-2800", FrameFormat::Cells);
    ASSERT_EQ(alone.size(), kFrameCellBytes);
    ASSERT_EQ(all.size(), 2 * kFrameCellBytes);
    EXPECT_EQ(alone, all.substr(kFrameCellBytes));
    EXPECT_NE(all.substr(0, kFrameCellBytes), alone); // and frames do change
}

TEST(RenderFrames, Frame990ShowsTheRingsAndTheFigureEights) {
    const std::string text = render("990", FrameFormat::Text);
    std::vector<std::string> rows;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        rows.push_back(text.substr(start, end - start));
    ASSERT_EQ(rows.size(), 51u);
    // Shaded cells are three bytes of UTF-8; a black space is one.
    const auto drawn = [&](int row) { return rows[static_cast<size_t>(row)].size() > 80; };
    // The figure-eights span rows 11 to 29 around row 20; the first ring's outline and the
    // second ring around rows 27 and 38.
    EXPECT_TRUE(drawn(11));
    EXPECT_TRUE(drawn(20));
    EXPECT_TRUE(drawn(38));
    EXPECT_FALSE(drawn(0));
    EXPECT_FALSE(drawn(49));
}

TEST(RenderFrames, AnsiFrameOfTheCaptionShowsTheSameCellsAsItsCellsFrame) {
    const AnsiCase halfIn256{DisplayLayout::Half, ColorMode::Colors256};
    const std::string cells = render("660", FrameFormat::Cells);
    const std::string ansi = render("660", FrameFormat::Ansi, 0.01, halfIn256);
    ASSERT_EQ(cells.size(), kFrameCellBytes);
    CellImage frame;
    ASSERT_TRUE(frame.create(80, 50));
    for (size_t i = 0; i < 4000; ++i)
        frame.cells[i] =
            Cell{static_cast<uint8_t>(cells[2 * i]), static_cast<uint8_t>(cells[2 * i + 1])};
    EXPECT_EQ(replayMismatch(ansi, frame, halfIn256), "");
}

// Shown with cat, palette frames leave the terminal's palette as it was: they set it first
// and reset it last, and in between show the frame's exact colours.
TEST(RenderFrames, PaletteFramesSetThePaletteFirstAndResetItLast) {
    const AnsiCase halfInPalette{DisplayLayout::Half, ColorMode::Palette};
    const std::string cells = render("660", FrameFormat::Cells);
    const std::string ansi = render("659-660", FrameFormat::Ansi, 0.01, halfInPalette);
    const std::string set = classicPaletteSequence();
    const std::string reset = kResetPalette;
    ASSERT_EQ(ansi.compare(0, set.size(), set), 0);
    ASSERT_EQ(ansi.compare(ansi.size() - reset.size(), reset.size(), reset), 0);
    CellImage frame;
    ASSERT_TRUE(frame.create(80, 50));
    for (size_t i = 0; i < 4000; ++i)
        frame.cells[i] =
            Cell{static_cast<uint8_t>(cells[2 * i]), static_cast<uint8_t>(cells[2 * i + 1])};
    EmulatedTerminal terminal(80, 25);
    terminal.write(ansi.data(), ansi.size() - reset.size());
    EXPECT_EQ(terminal.mismatch(frame, 0, 0, 80, 25, ColorMode::Palette, DisplayLayout::Half), "");
    terminal.write(reset.data(), reset.size());
    for (const int entry : terminal.palette) EXPECT_EQ(entry, -1);
}

TEST(RenderFrames, TheWholeDemoEndsAfterItsLastFrame) {
    const std::string cells = render(nullptr, FrameFormat::Cells, 0.5);
    EXPECT_EQ(cells.size(), 118 * kFrameCellBytes);
}

} // namespace
