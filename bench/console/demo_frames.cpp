// The whole demo's frames, drawn once for the console benchmarks.
#include "demo_frames.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "demo/demo_content.h"
#include "demo/frame_stepper.h"
#include "gfx/next_random.h"

const std::vector<CellImage>& demoFrames() {
    static const std::vector<CellImage> frames = [] {
        std::vector<CellImage> list;
        auto content = std::make_unique<DemoContent>();
        CellImage back;
        RandomState = 1;
        if (!content->load() ||
            !back.create(FrameStepper::kScreenWidth, FrameStepper::kScreenHeight))
            std::abort();
        FrameStepper stepper{*content, back};
        stepper.showStart();
        for (uint64_t k = 1;; ++k) {
            CellImage copy;
            if (!copy.create(back.width, back.height)) std::abort();
            std::copy_n(back.cells.get(), static_cast<size_t>(back.width) * back.height,
                        copy.cells.get());
            list.push_back(std::move(copy));
            if (!stepper.step(FrameStepper::frameTime(k, kDemoFrameSeconds),
                              static_cast<float>(kDemoFrameSeconds)))
                break;
        }
        return list;
    }();
    return frames;
}
