// FrameStepper: the start screen, one frame, and the frame times of a fixed rate.
#include "demo/frame_stepper.h"

#include "demo/demo_content.h"

void FrameStepper::showStart() {
    screen.fillRect(kStartCell, 0, 0, kScreenWidth, kScreenHeight);
}

bool FrameStepper::step(float t, float delta) {
    return content.runScenes(screen, t, delta);
}

float FrameStepper::frameTime(uint64_t k, double dt) {
    return static_cast<float>(static_cast<double>(k) * dt);
}

uint64_t FrameStepper::lastDemoFrame(double dt) {
    // A first guess by division, then corrected both ways for the rounding to float.
    uint64_t k = static_cast<uint64_t>(kDemoEndTime / dt);
    while (k > 0 && frameTime(k, dt) > kDemoEndTime) --k;
    while (frameTime(k + 1, dt) <= kDemoEndTime) ++k;
    return k;
}
