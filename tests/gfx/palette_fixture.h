// The palette resource as the tests know it: 15 ramps for slots 0-14, written as
// character/attribute hex pairs, encoded into the 542-byte record format.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

inline const char* const kPaletteRamps[15] = {
    "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 B0/FA B1/FA B0/AF "
    "20/AA B0/A2 B1/A2 B0/2A B0/2A B1/2A B0/A2 20/AA B0/AF B1/AF B0/FA B0/F9 B1/F9 B0/9F 20/99 "
    "B0/91 B1/91 B0/19 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 B0/FA B1/FA B0/AF 20/AA B0/A2 "
    "B1/A2 B0/2A B0/2A B1/2A B0/A2 20/AA B0/AF B1/AF B0/FA 20/FF",
    "20/77 20/77 B0/7F B1/7F B0/F7 20/FF",
    "20/AA 20/AA B0/AF B1/AF B0/FA 20/FF",
    "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 20/FF",
    "20/00 B0/00 B1/00 B0/00 20/00 B0/04 B1/04 B0/40 20/44 B0/4C B1/4C B0/C4 20/CC B0/CE B1/CE "
    "B0/EC 20/EE B0/EF B1/EF B0/FE 20/FF B0/FF B1/FF B0/FF 20/FF",
    "20/00 B0/02 B1/02 B0/20 20/22 B0/2A B1/2A B0/A2 20/AA B0/AB B1/AB B0/BA 20/BB B0/BF B1/BF "
    "B0/FB 20/FF B0/FF B1/FF B0/FF 20/FF B0/FF B1/FF B0/FF 20/FF B0/FF B1/FF B0/FF 20/FF",
    "20/FF B0/FD B1/FD B0/DF 20/DD B0/D4 B1/D4 B0/4D 20/44 B0/40 B1/40 B0/04 20/00 B0/00 B1/00 "
    "B0/00 20/00 B0/00 B1/00 B0/00 20/00 B0/00 B1/00 B0/00 20/00",
    "20/00 F9/08 F9/07 F9/0F 2B/0F 2A/0F",
    "20/00 B0/01 B1/01 B0/10 20/11 B0/19 B1/19 B0/91 20/99 B0/9F B1/9F B0/F9 20/FF",
    "20/00 B0/02 B1/02 B0/20 20/22 B0/2A B1/2A B0/A2 20/AA B0/AF B1/AF B0/FA 20/FF",
    "20/00 B0/03 B1/03 B0/30 20/33 B0/3B B1/3B B0/B3 20/BB B0/BF B1/BF B0/FB 20/FF",
    "20/00 B0/04 B1/04 B0/40 20/44 B0/4C B1/4C B0/C4 20/CC B0/CF B1/CF B0/FC 20/FF",
    "20/00 B0/05 B1/05 B0/50 20/55 B0/5D B1/5D B0/D5 20/DD B0/DF B1/DF B0/FD 20/FF",
    "20/00 B0/06 B1/06 B0/60 20/66 B0/6E B1/6E B0/E6 20/EE B0/EF B1/EF B0/FE 20/FF",
    "20/00 B0/08 B1/08 B0/80 20/88 B0/87 B1/87 B0/78 20/77 B0/7F B1/7F B0/F7 20/FF",
};

// Slot byte, pair count, then the pairs, for slots 0 to 14 in order.
inline std::vector<uint8_t> paletteResourceBytes() {
    std::vector<uint8_t> bytes;
    for (int slot = 0; slot < 15; ++slot) {
        std::vector<uint8_t> pairs;
        std::istringstream in(kPaletteRamps[slot]);
        std::string pair;
        while (in >> pair) {
            pairs.push_back(
                static_cast<uint8_t>(std::strtoul(pair.substr(0, 2).c_str(), nullptr, 16)));
            pairs.push_back(
                static_cast<uint8_t>(std::strtoul(pair.substr(3, 2).c_str(), nullptr, 16)));
        }
        bytes.push_back(static_cast<uint8_t>(slot));
        bytes.push_back(static_cast<uint8_t>(pairs.size() / 2));
        bytes.insert(bytes.end(), pairs.begin(), pairs.end());
    }
    return bytes;
}
