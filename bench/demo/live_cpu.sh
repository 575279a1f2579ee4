#!/usr/bin/env bash
# The CPU the whole demo costs when it plays in a terminal: kaveo runs to its end inside tmux
# (cells at 80 x 50, half at 80 x 25, wide at 160 x 50, in each colour mode) and its user +
# system CPU, from getrusage through /usr/bin/time, is divided by the 59 s of the demo.
# Usage: bench/demo/live_cpu.sh path/to/kaveo [runs per case, default 3] [kaveo options...]
# (e.g. --silent; without it the sound goes to SDL_AUDIODRIVER, dummy unless set).
# Prints one line per run and the median of each case, in ms of CPU per second of demo.
set -euo pipefail

kaveo=$(realpath "$1")
runs=${2:-3}
shift $(($# >= 2 ? 2 : 1))
work=$(mktemp -d)
sock="kaveo-cpu-$$"
tm() { tmux -L "$sock" -f /dev/null "$@"; }
cleanup() {
  tm kill-server >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Runs kaveo once in a fresh window of $1 x $2 with the rest as its options; prints the CPU
# in ms per demo second.
run_once() {
  local columns=$1 rows=$2
  shift 2
  tm kill-server >/dev/null 2>&1 || true
  rm -f "$work/time" "$work/done"
  tm new-session -d -s cpu -x "$columns" -y "$rows" \
    "env TERM=tmux-256color SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
       /usr/bin/time -f '%U %S' -o $work/time $kaveo $* ; touch $work/done"
  for _ in $(seq 1200); do
    [ -e "$work/done" ] && break
    sleep 0.1
  done
  [ -s "$work/time" ] || { echo "kaveo did not finish" >&2; exit 1; }
  awk '{ printf "%.1f\n", ($1 + $2) * 1000 / 59 }' "$work/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for shape in "cells 80 50" "half 80 25" "wide 160 50"; do
  read -r layout columns rows <<<"$shape"
  for colors in 16 256 24bit; do
    results=()
    for _ in $(seq "$runs"); do
      results+=("$(run_once "$columns" "$rows" --layout "$layout" --colors "$colors" "$@")")
    done
    echo "$layout $colors: ${results[*]} -> median $(printf '%s\n' "${results[@]}" | median) ms/s"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
