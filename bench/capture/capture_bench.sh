#!/usr/bin/env bash
# Captures the whole demo in each kind and reports, per kind: wall time, wall seconds per
# second of video (the real-time target is 1.0 or less), output size and peak memory, with
# the load average (the machine may be shared). Usage: bench/capture/capture_bench.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
kaveo=$(realpath "$build/kaveo")
out=$(mktemp -d /tmp/kaveo-capture-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
demo_seconds=$(awk 'BEGIN { print 3541 / 60 }') # frames 0..3540 at 60 fps

run() { # name, file, arguments...
  local name=$1 file=$2; shift 2
  local before; before=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -v -o "$out/time" "$kaveo" capture "$out/$file" "$@" 2>/dev/null
  local wall rss size
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
         for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$out/time")
  rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/time")
  size=$(du -cb "$out"/${file//%05d/*} | tail -1 | cut -f1)
  printf '%-28s wall %7.1f s  %5.2f s per video s  size %10d B  peak %7d KiB  load %s -> %s\n' \
    "$name" "$wall" "$(awk -v w="$wall" -v d="$demo_seconds" 'BEGIN { print w / d }')" \
    "$size" "$rss" "$before" "$(cut -d' ' -f1 /proc/loadavg)"
}

run "mp4 60 fps 1280x800" demo.mp4
run "cast 60 fps wide 24bit" demo.cast
run "png still" still.png
run "png every frame, 10 fps" shot-%05d.png --fps 10
