// Host helper of the Windows tests: writes the test soundtrack (a tone with a click at a known
// frame, LAME-encoded with its tag) to a file that the test program embeds.
// Usage: make_test_mp3 <output.mp3>
#include <cstdio>

#include "test_tone_mp3.h"
#include "windows_test_mp3.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::vector<uint8_t> mp3 =
        encodeMp3(makeToneWithClick(kTestMp3Frames, kTestMp3ClickFrame));
    std::FILE* out = std::fopen(argv[1], "wb");
    if (mp3.empty() || out == nullptr) return 1;
    const bool written = std::fwrite(mp3.data(), 1, mp3.size(), out) == mp3.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
