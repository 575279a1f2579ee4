// The viewer's controls (keys and mouse) and the statistics display: title and overlays.
#include <cmath>
#include <cstdio>

#include "shell/demo_app.h"

namespace {

// Seconds of demo time per key event, as multiples of the frame delta, so that the
// seek steps follow the frame rate (2 s and 0.2 s at 100 frames per second).
constexpr double kPageSeekFrames = 200.0;
constexpr double kArrowSeekFrames = 20.0;

// Drags seek without a floor at 0, so repeated drags could carry the time ever further; an
// hour either way is far past the demo, keeps tenths exact in a float and the anchor in range.
constexpr double kDragTimeLimit = 3600.0;

double clampDragTime(double t) {
    return t < -kDragTimeLimit ? -kDragTimeLimit : t > kDragTimeLimit ? kDragTimeLimit : t;
}

constexpr uint16_t kOverlayAttribute = 0xF0; // black on white
// 0xC5 is the code page 437 box-drawing cross: it falls on the cell under the pointer.
constexpr const char* kOverlayFormat = "\xC5(%i,%i)";

} // namespace

bool DemoApp::handleInput() {
    InputRecord event;
    while (console.pollInput(event)) {
        // Fresh for every event, so two seek keys in one frame add up.
        // Formulas in double, stored as float, like every formula of the demo.
        const double delta = clock.frameDelta;
        const double t = clock.demoTime;

        if (event.eventType == kKeyEvent) {
            // Down, repeat and release all act: one stroke of a seek key seeks twice.
            switch (event.key.virtualKeyCode) {
            case kVkEscape:
                return false;
            case kVkSpace:
                statisticsMode = true;
                console.setMouseInput(true);
                smoothedFrameRate = delta > 0.0 ? static_cast<float>(1.0 / delta) : 100.0f;
                break;
            case kVkPrior:
                clock.setPaused(true);
                clock.seek(static_cast<float>(delta * kPageSeekFrames + t));
                break;
            case kVkNext: {
                clock.setPaused(true);
                const float v = static_cast<float>(t - delta * kPageSeekFrames);
                clock.seek(v > 0.0f ? v : 0.0f);
                break;
            }
            case kVkHome:
                clock.setPaused(true);
                clock.seek(0.0f);
                break;
            case kVkLeft: {
                clock.setPaused(true);
                const float v = static_cast<float>(t - delta * kArrowSeekFrames);
                clock.seek(v > 0.0f ? v : 0.0f);
                break;
            }
            case kVkUp:
                clock.setPaused(false);
                break;
            case kVkRight:
                clock.setPaused(true);
                clock.seek(static_cast<float>(delta * kArrowSeekFrames + t));
                break;
            case kVkDown:
                // The reference lies beyond the demo's end: this ends the demo normally.
                clock.setPaused(true);
                clock.seek(seekReferenceTime - 4.0f);
                break;
            case kVkM:
                clock.setMuted(true);
                break;
            case kVkN:
                clock.setMuted(false);
                break;
            case kVkTab:
                // Only the press: the release the terminal reports or the back end makes up
                // would step a second time.
                if (event.key.keyDown) console.cycleLayout();
                break;
            default:
                break;
            }
        } else if (event.eventType == kMouseEvent) {
            const MouseEventRecord& mouse = event.mouse;
            const bool doubleClick = (mouse.eventFlags & kDoubleClick) != 0;
            pointerColumn = mouse.column;
            pointerRow = mouse.row;
            if (mouse.buttonState & kFromLeft1stButtonPressed) {
                // Every left-button event pauses, except a double click, which resumes.
                pointerOverlay = !doubleClick;
                clock.setPaused(!doubleClick);
                if (!dragInProgress) {
                    // One column is a tenth of a second, counted from the time's tenth.
                    dragInProgress = true;
                    dragAnchor =
                        static_cast<int32_t>(std::floor(clampDragTime(t) * 10.0)) + pointerColumn;
                } else {
                    const double tenths = static_cast<double>(dragAnchor) - pointerColumn;
                    clock.seek(static_cast<float>(
                        clampDragTime(static_cast<double>(static_cast<float>(tenths)) * 0.1)));
                }
            } else {
                dragInProgress = false;
            }
            if (mouse.buttonState & kRightmostButtonPressed) {
                if (doubleClick) {
                    markerOverlay = false;
                } else {
                    markerOverlay = true;
                    markerColumn = pointerColumn;
                    markerRow = pointerRow;
                }
            }
        }
    }
    return true;
}

void DemoApp::updateTitle() {
    if (!statisticsMode) return;
    const double r = 1.0 / static_cast<double>(clock.frameDelta);
    if (0.0 < r && r < 100.0) {
        smoothedFrameRate = static_cast<float>(smoothedFrameRate * 0.99 + r * 0.01);
    } else {
        // The paced loop cannot beat about 100 frames per second: count short frames as 100.
        smoothedFrameRate = static_cast<float>(smoothedFrameRate * 0.99 + 1.0);
    }
    char title[64];
    std::snprintf(title, sizeof title, "Tempus %.1f est, et FPS %.1f.",
                  static_cast<double>(clock.demoTime), static_cast<double>(smoothedFrameRate));
    console.setTitle(title);
}

void DemoApp::drawOverlay() {
    char text[64];
    if (pointerOverlay) {
        std::snprintf(text, sizeof text, kOverlayFormat, pointerColumn, pointerRow);
        console.printText(text, kOverlayAttribute, pointerColumn, pointerRow);
    }
    if (markerOverlay) {
        std::snprintf(text, sizeof text, kOverlayFormat, markerColumn, markerRow);
        console.printText(text, kOverlayAttribute, markerColumn, markerRow);
    }
}
