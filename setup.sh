#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and builds kaveo into build/, then plays the demo
# (`./setup.sh demo`) or runs the test suite (`./setup.sh test`). Extra arguments after
# `demo` go to the program. `./setup.sh web` builds the web player instead:
# build-web/kaveo.html, one self-contained page (its resources made by a host build in
# build-host/, the same host build the Windows build takes its resources from).
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  demo|test|web) shift ;;
  *) echo "usage: ./setup.sh demo [kaveo options] | ./setup.sh test | ./setup.sh web" >&2; exit 2 ;;
esac

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libmpg123-dev libmp3lame-dev libebur128-dev libaubio-dev libvterm-dev tmux
          procps libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
          libpng-dev libjsoncpp-dev libncurses-dev)
if [ "$mode" = web ]; then packages+=(emscripten nodejs); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=""
  elif command -v sudo >/dev/null 2>&1; then sudo="sudo"
  else
    echo "kaveo needs these packages; as root, run:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
fi

jobs=$(nproc 2>/dev/null || echo 2)
if [ "$mode" = web ]; then
  # The resources come from the host tools, as for Windows; then emscripten builds the page.
  cmake -S . -B build-host -DCMAKE_BUILD_TYPE=Release -DKAVEO_PLATFORM=OFF \
    -DKAVEO_TESTS=OFF -DKAVEO_BENCH=OFF >&2
  cmake --build build-host -j "$jobs" >&2
  export NODE_PATH=/usr/share/nodejs # emscripten's optimiser needs Debian's acorn from there
  emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DKAVEO_PLATFORM=OFF \
    -DKAVEO_TESTS=OFF -DKAVEO_BENCH=OFF -DKAVEO_HOST_BUILD_DIR="$PWD/build-host" >&2
  cmake --build build-web -j "$jobs" --target kaveo_web_page >&2
  echo "Built build-web/kaveo.html: open it in a web browser and click to start."
  exit 0
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build -j "$jobs" >&2

if [ "$mode" = test ]; then
  # The terminal matrix (label terminals) needs Xvfb and the emulators: .ci/terminals runs it.
  ctest --test-dir build --output-on-failure -j "$jobs" -LE terminals
else
  exec build/kaveo "$@"
fi
