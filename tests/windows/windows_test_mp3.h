// The test soundtrack shared by its host-side maker and the Windows decoder tests.
#pragma once

#include <cstddef>

constexpr size_t kTestMp3Frames = 3 * 44100; // 3 s of tone
constexpr size_t kTestMp3ClickFrame = 50000; // where the one-sample click is
