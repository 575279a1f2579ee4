#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine and builds kaveo into build/, then plays the demo
# (`./setup.sh demo`) or runs the test suite (`./setup.sh test`). Extra arguments after
# `demo` go to the program.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-}
case "$mode" in
  demo|test) shift ;;
  *) echo "usage: ./setup.sh demo [kaveo options] | ./setup.sh test" >&2; exit 2 ;;
esac

packages=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libmpg123-dev libmp3lame-dev libebur128-dev libaubio-dev libvterm-dev tmux
          procps libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
          libpng-dev libjsoncpp-dev)

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
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build build -j "$jobs" >&2

if [ "$mode" = test ]; then
  ctest --test-dir build --output-on-failure -j "$jobs"
else
  exec build/kaveo "$@"
fi
