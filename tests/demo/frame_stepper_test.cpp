// The frame times of a fixed rate: the last frame is the last whose time does not pass the end.
#include <gtest/gtest.h>

#include "demo/frame_stepper.h"

namespace {

TEST(FrameStepper, LastFrameIsTheLastWhoseTimeDoesNotPassTheEnd) {
    struct Case {
        double dt;
        uint64_t last;
    };
    // 59 / dt frames, counting float(k dt) as the frame's time.
    for (const Case c : {Case{0.01, 5900}, Case{0.05, 1180}, Case{0.1, 590}, Case{0.3, 196},
                         Case{1.0, 59}, Case{59.0, 1}, Case{60.0, 0}, Case{0.0001, 590000}}) {
        SCOPED_TRACE(c.dt);
        EXPECT_EQ(FrameStepper::lastDemoFrame(c.dt), c.last);
    }
}

} // namespace
