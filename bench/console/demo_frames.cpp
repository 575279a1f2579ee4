// The whole demo's frames, drawn once for the console benchmarks.
#include "demo_frames.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "demo/demo_content.h"
#include "gfx/next_random.h"

const std::vector<CellImage>& demoFrames() {
    static const std::vector<CellImage> frames = [] {
        std::vector<CellImage> list;
        auto content = std::make_unique<DemoContent>();
        CellImage back;
        RandomState = 1;
        if (!content->load() || !back.create(80, 50)) std::abort();
        back.fillRect(Cell{'.', 0x07}, 0, 0, 80, 50);
        for (int k = 0;; ++k) {
            const float t = static_cast<float>(k) * kDemoFrameSeconds;
            if (k > 0 && !content->runScenes(back, t, kDemoFrameSeconds)) break;
            CellImage copy;
            if (!copy.create(80, 50)) std::abort();
            std::copy(back.cells.get(), back.cells.get() + 4000, copy.cells.get());
            list.push_back(std::move(copy));
        }
        return list;
    }();
    return frames;
}
