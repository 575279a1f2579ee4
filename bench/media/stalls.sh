#!/usr/bin/env bash
# Plays the whole demo in a terminal (tmux) through a private PulseAudio server with a null
# sink, records the sink's monitor for the whole run, and aligns the recording with the
# decoded soundtrack window by window: a stall (our stream ran dry, silence was inserted)
# shows as a jump of the lag. Reports the stalls over 3 ms, the drift and the load average.
# Load the machine beside it to see whether playback survives (see CONTRIBUTING.md).
# Usage: bench/media/stalls.sh [build folder with kaveo, default build] [aligner build]
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build}
aligner=${2:-$build}/bench/media/stall_align
for need in "$build/kaveo" "$aligner"; do
  [ -x "$need" ] || { echo "no $need: build it first" >&2; exit 1; }
done
missing=()
for p in pulseaudio pulseaudio-utils tmux; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
fi

runtime=$(mktemp -d)
HOME=$runtime XDG_RUNTIME_DIR=$runtime pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no --log-target=stderr \
  -L "module-null-sink sink_name=kaveo rate=44100 channels=2 format=s16le" \
  -L "module-native-protocol-unix socket=$runtime/native auth-anonymous=1" \
  2>"$runtime/pulse.log" &
server=$!
recorder=""
cleanup() {
  tmux -L "kaveo-stalls-$$" kill-server 2>/dev/null || true
  [ -n "$recorder" ] && kill "$recorder" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -S "$runtime/native" ] && break
  sleep 0.1
done
[ -S "$runtime/native" ] || { cat "$runtime/pulse.log" >&2; exit 1; }
export PULSE_SERVER=unix:$runtime/native

parec -d kaveo.monitor --raw --format=s16le --rate=44100 --channels=2 >"$runtime/out.raw" &
recorder=$!
sleep 0.5
tmux -L "kaveo-stalls-$$" new-session -d -x 80 -y 50 -e PULSE_SERVER="$PULSE_SERVER" \
  -e SDL_AUDIODRIVER=pulseaudio "$PWD/$build/kaveo; sleep 1"
load_sum=0
samples=0
while tmux -L "kaveo-stalls-$$" has-session 2>/dev/null; do
  sleep 5
  load_sum=$(awk -v s="$load_sum" '{ print s + $1 }' /proc/loadavg)
  samples=$((samples + 1))
done
sleep 0.5
kill "$recorder"
wait "$recorder" 2>/dev/null || true
recorder=""
echo "stalls: load average during the run $(awk -v s="$load_sum" -v n="$samples" 'BEGIN { printf "%.1f", s / (n ? n : 1) }')"
"$aligner" "$build/resources/kaveo.mp3" "$runtime/out.raw" 59
