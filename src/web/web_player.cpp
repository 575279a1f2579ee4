// The web player's entry points, called by the page (player.js): start-up, one frame per
// animation frame, the viewer's input, and the picture as pixels. The page owns the canvas,
// the events and the AudioContext; everything else is the terminal program's own code
// (DemoApp's controls, MusicClock, DemoContent) over the web back ends of this folder.
#include <emscripten.h>

#include <memory>
#include <new>

#include "gfx/next_random.h"
#include "gfx/resource_blob.h"
#include "paint/cell_painter.h"
#include "shell/demo_app.h"
#include "web/console_web.h"

namespace {

// Results of kaveo_open, kaveo_start and kaveo_frame, as the page reads them.
enum : int {
    kOk = 0,
    kCannotInitializeConsole = 1,
    kCannotInitializeDemo = 2,
    kCannotLoadMusic = 3,
    kDemoEnded = 4,
    kStopped = 5,
};

// Everything the page drives. One player per page; made by kaveo_open, again for each replay.
struct WebPlayer {
    DemoApp app;
    BitmapFont font;
    CellPainter painter;
    ResourceBlob soundtrack;
    bool audioStarted = false;
};
std::unique_ptr<WebPlayer> player;

} // namespace

extern "C" {

// Opens the console with the grey dots, loads the font, the content and the soundtrack.
// For a replay as well: the random source is rewound first, so every run draws the same
// pictures as the first (and as `kaveo render`).
EMSCRIPTEN_KEEPALIVE int kaveo_open() {
    player.reset();
    player.reset(new (std::nothrow) WebPlayer);
    if (!player) return kCannotInitializeDemo;
    WebPlayer& p = *player;
    // Grey dots stand on the screen while the content loads and until the viewer starts.
    if (!p.app.openConsole()) return kCannotInitializeConsole;
    // Glyphs at their own size: the page stretches the canvas so that cells come out square.
    if (!loadFontResource(p.font) ||
        !p.painter.create(p.font, FrameStepper::kScreenWidth, FrameStepper::kScreenHeight, 1, 1))
        return kCannotInitializeDemo;
    RandomState = 1;
    if (!p.app.content.load()) return kCannotInitializeDemo;
    if (!p.soundtrack.load("kaveo.mp3", kResourceTypeData)) return kCannotLoadMusic;
    return kOk;
}

// The MP3 for the page to decode before kaveo_start (null and 0 before kaveo_open).
EMSCRIPTEN_KEEPALIVE const uint8_t* kaveo_soundtrack() {
    return player ? player->soundtrack.data : nullptr;
}
EMSCRIPTEN_KEEPALIVE uint32_t kaveo_soundtrack_size() {
    return player ? player->soundtrack.size : 0;
}

// Starts the audio (the page's context, with the soundtrack decoded) and the music clock.
EMSCRIPTEN_KEEPALIVE int kaveo_start() {
    if (!player) return kCannotInitializeDemo;
    WebPlayer& p = *player;
    if (!startAudio()) return kCannotLoadMusic;
    p.audioStarted = true;
    if (!p.app.clock.start(p.soundtrack)) return kCannotLoadMusic;
    return kOk;
}

// One frame, as the terminal program's main loop runs it: clock, input, scenes, title,
// overlays. kOk to go on, kStopped after Escape, kDemoEnded once the time is past the end
// (that frame is not drawn). Stops the audio when it ends.
EMSCRIPTEN_KEEPALIVE int kaveo_frame() {
    if (!player || !player->audioStarted) return kStopped;
    const DemoApp::FrameResult frame = player->app.runFrame();
    if (frame == DemoApp::FrameResult::Shown) return kOk;
    stopAudio();
    player->audioStarted = false;
    return frame == DemoApp::FrameResult::Stopped ? kStopped : kDemoEnded;
}

// Input from the page, in the console's vocabulary.
EMSCRIPTEN_KEEPALIVE void kaveo_key(int virtualKey, int down) {
    if (!player) return;
    InputRecord event{};
    event.eventType = kKeyEvent;
    event.key.keyDown = down != 0;
    event.key.repeatCount = 1;
    event.key.virtualKeyCode = static_cast<uint16_t>(virtualKey);
    consolePushInput(player->app.console, event);
}
EMSCRIPTEN_KEEPALIVE void kaveo_mouse(int column, int row, int buttons, int flags) {
    if (!player) return;
    InputRecord event{};
    event.eventType = kMouseEvent;
    event.mouse.column = static_cast<int16_t>(column);
    event.mouse.row = static_cast<int16_t>(row);
    event.mouse.buttonState = static_cast<uint32_t>(buttons);
    event.mouse.eventFlags = static_cast<uint32_t>(flags);
    consolePushInput(player->app.console, event);
}

// Pauses at demo time `t` and draws it, as Home and a drag would: for links to a moment.
EMSCRIPTEN_KEEPALIVE void kaveo_show(float t) {
    if (!player) return;
    player->app.clock.setPaused(true);
    player->app.clock.seek(t);
}

// What the page shows beside the picture.
EMSCRIPTEN_KEEPALIVE const char* kaveo_title() {
    return player ? consoleTitle(player->app.console) : "";
}
EMSCRIPTEN_KEEPALIVE int kaveo_statistics() {
    return player && player->app.statisticsMode ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int kaveo_mouse_input() {
    return player && consoleMouseInput(player->app.console) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE float kaveo_time() {
    return player ? player->app.clock.demoTime : 0.0f;
}
EMSCRIPTEN_KEEPALIVE int kaveo_paused() {
    return player && player->app.clock.paused ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int kaveo_muted() {
    return player && player->app.clock.muted ? 1 : 0;
}

// Paints the back buffer; returns the number of cells that changed (0: the canvas may stay).
EMSCRIPTEN_KEEPALIVE int kaveo_paint() {
    if (!player) return 0;
    return player->painter.paint(player->app.console, player->font);
}
EMSCRIPTEN_KEEPALIVE const uint32_t* kaveo_pixels() {
    return player ? player->painter.pixels.get() : nullptr;
}
EMSCRIPTEN_KEEPALIVE int kaveo_pixel_width() {
    return player ? player->painter.pixelWidth : 0;
}
EMSCRIPTEN_KEEPALIVE int kaveo_pixel_height() {
    return player ? player->painter.pixelHeight : 0;
}
// The back buffer's cells (character word, attribute word), for tests that compare frames.
EMSCRIPTEN_KEEPALIVE const Cell* kaveo_cells() {
    return player ? player->app.console.cells.get() : nullptr;
}

} // extern "C"
