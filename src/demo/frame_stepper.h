// FrameStepper: the demo as every player draws it (the terminal program, the web page,
// `kaveo render` and `kaveo capture`): the screen's size and its picture before the first
// scene, the end time, and one frame drawn from a demo time and a frame delta.
#pragma once

#include <cstdint>

#include "gfx/cell.h"

struct DemoContent;

struct FrameStepper {
    static constexpr int32_t kScreenWidth = 80; // cells
    static constexpr int32_t kScreenHeight = 50;
    // Grey dots on black: what stands while the content loads and until the first scene
    // draws (no scene runs at a demo time of 0).
    static constexpr Cell kStartCell{'.', 0x07};
    // The demo ends once its time passes this (seconds); this time itself still draws.
    static constexpr float kDemoEndTime = 59.0f;

    DemoContent& content; // loaded
    CellImage& screen;    // kScreenWidth x kScreenHeight, allocated

    // Fills the screen with the start picture.
    void showStart();
    // Draws the frame for demo time t after a frame of `delta` (both in seconds). False once
    // t is past the end: nothing is drawn and the demo is over.
    bool step(float t, float delta);

    // Players that step at a fixed rate (render, capture) show frame k at demo time k x dt
    // seconds, rounded to a float once.
    static float frameTime(uint64_t k, double dt);
    // The number of the last frame the demo draws at `dt`: the largest k whose frameTime is
    // no later than the end time.
    static uint64_t lastDemoFrame(double dt);
};
