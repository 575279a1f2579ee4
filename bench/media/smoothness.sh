#!/usr/bin/env bash
# Measures how smoothly the demo time runs against a real, paced sound output: starts a
# private PulseAudio server with a null sink, runs the clock benchmark through it, stops the
# server, and checks the step error against its targets (sigma <= 0.1 ms, max <= 1 ms).
# Usage: bench/media/smoothness.sh [build folder, default build] [benchmark options...]
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build}
[ $# -gt 0 ] && shift
bench=$build/bench/media/bench_clock
if [ ! -x "$bench" ]; then
  echo "no $bench: build the bench_clock target first" >&2
  exit 1
fi

if ! command -v pulseaudio >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq pulseaudio >&2
fi

# Everything the server makes stays in one temporary folder, and only this server is stopped.
runtime=$(mktemp -d)
HOME=$runtime XDG_RUNTIME_DIR=$runtime pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --log-target=stderr -L module-null-sink \
  -L "module-native-protocol-unix socket=$runtime/native auth-anonymous=1" \
  2>"$runtime/pulse.log" &
server=$!
cleanup() {
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

for _ in $(seq 100); do
  [ -S "$runtime/native" ] && break
  sleep 0.1
done
if [ ! -S "$runtime/native" ]; then
  echo "PulseAudio did not start:" >&2
  cat "$runtime/pulse.log" >&2
  exit 1
fi

# The JSON copy has the counters as plain numbers (the console shows them with SI suffixes).
out=$runtime/bench.json
PULSE_SERVER=unix:$runtime/native SDL_AUDIODRIVER=pulseaudio "$bench" \
  --benchmark_out="$out" --benchmark_out_format=json "$@"

counter() { grep -o "\"$1\": [0-9.e+-]*" "$out" | tail -1 | cut -d' ' -f2; }
sigma=$(counter step_sigma_ms)
largest=$(counter step_max_ms)
if [ -z "$sigma" ] || [ -z "$largest" ]; then
  echo "smoothness: no result (was BM_DemoTimeSmoothness filtered out or skipped?)" >&2
  exit 1
fi
echo "smoothness: step error sigma $sigma ms (target <= 0.1), max $largest ms (target <= 1)"
awk -v s="$sigma" -v m="$largest" 'BEGIN { exit !(s + 0 <= 0.1 && m + 0 <= 1.0) }'
