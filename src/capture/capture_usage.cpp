// What --help says about `kaveo capture`.
#include "capture/capture_usage.h"

void printCaptureUsage(std::FILE* to) {
    std::fputs(
        "usage: kaveo capture OUTPUT [options]\n"
        "\n"
        "Writes the demo to OUTPUT, the kind chosen by its extension:\n"
        "  .mp4   H.264 video (yuv420p) with the soundtrack as AAC, 44,100 Hz stereo\n"
        "  .png   one picture (see --time); with a pattern such as shot-%05d.png every\n"
        "         frame, named by its frame number\n"
        "  .cast  an asciicast v2 recording of the bytes the terminal program writes, for\n"
        "         asciinema play and asciinema cat\n"
        "Frame k shows demo time k / FPS; frame 0 is the screen at start (the grey dots).\n"
        "Pictures draw each cell with an 8 x 16 font doubled across into a square 16 x 16\n"
        "cell: 1280 x 800 pixels at scale 1.\n"
        "\n"
        "  --fps N        frames per second, 1 to 240 (default 60)\n"
        "  --from S       start at S seconds (default 0), video, patterns and recordings\n"
        "  --to S         end at S seconds (default 59, the end of the demo)\n"
        "  --time S       the time of a single picture (default: the first caption)\n"
        "  --scale N      pixel scale of video and pictures, 1 to 4 (default 1)\n"
        "  --quality N    H.264 CRF of the video, 0 (best) to 51 (default 18)\n"
        "  --layout L     recording layout: wide (two columns a cell, square cells, 160 x 50;\n"
        "                 the default; auto means wide), half (two cells a character,\n"
        "                 80 x 25) or cells (80 x 50)\n"
        "  --colors C     recording colours: 16, 256 or 24bit (also truecolor; the default)\n"
        "\n"
        "Each file is written beside OUTPUT under a temporary name and takes its place when\n"
        "complete. On a terminal a progress bar shows on standard error. Ctrl+C finishes\n"
        "the file with the frames done and exits with 130; a failure removes it and exits\n"
        "with 1.\n",
        to);
}
