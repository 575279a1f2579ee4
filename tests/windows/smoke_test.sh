#!/usr/bin/env bash
# Smoke test of kaveo.exe under wine in a real X server (Xvfb): the console window appears
# with its title, the picture has colour, Space / Page Up / Escape act, Escape exits with 0,
# a build without its soundtrack shows the error box and exits with 1, and with a sound
# server the soundtrack plays and drives the demo time.
# Usage: tests/windows/smoke_test.sh <cross build folder>; needs WINEPREFIX set, wine, Xvfb,
# xdotool and ImageMagick. Every standard stream is kept away from the terminal: wine would
# otherwise attach the GUI program to that terminal and AllocConsole would fail.
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export DISPLAY=$display
sleep 2

fail() { echo "smoke test: $*" >&2; exit 1; }

# Waits up to $2 seconds for a window whose title matches $1; prints its id.
wait_window() {
  for _ in $(seq 1 "$2"); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 1
  done
  return 1
}
title_of() { xdotool getwindowname "$1" 2>/dev/null || true; }
# The demo's window, looked up by its title for every key and every reading.
demo_window() {
  xdotool search --name '^(Please press alt[+]enter|Tempus )' 2>/dev/null | head -1 || true
}
demo_title() { title_of "$(demo_window)"; }
demo_key() { xdotool key --window "$(demo_window)" "$1"; }

# 1. The demo: window, picture, keys, Escape.
timeout 90 wine "$build/kaveo.exe" --silent </dev/null >"$work/out" 2>&1 &
demo=$!
win=$(wait_window '^Please press alt[+]enter for full screen mode[.]$' 30) || fail "no console window"
sleep 6 # into the scenes
import -window root "$work/shot.png"
colours=$(convert "$work/shot.png" -format '%k' info:)
[ "$colours" -ge 4 ] || fail "the screenshot has $colours colours, expected the demo's shades"
echo "window $win up, $colours colours on screen"

demo_key space
sleep 1
title=$(demo_title)
[[ "$title" =~ ^Tempus\ ([0-9.]+)\ est,\ et\ FPS\ ([0-9.]+)\.$ ]] || fail "Space gave title '$title'"
# Home pauses at 0 first: the seek steps grow as the frame rate falls, and from 0 even a
# slow machine's Page Up stays well inside the demo instead of running past its end.
demo_key Home
sleep 1
[[ "$(demo_title)" =~ ^Tempus\ ([0-9.]+) ]] || fail "no statistics title after Home"
before=${BASH_REMATCH[1]}
[ "$before" = "0.0" ] || fail "Home went to $before, not 0.0"
demo_key Prior
sleep 1
[[ "$(demo_title)" =~ ^Tempus\ ([0-9.]+) ]] || fail "no statistics title after Page Up"
after=${BASH_REMATCH[1]}
sleep 1
[[ "$(demo_title)" =~ ^Tempus\ ([0-9.]+) ]] || fail "no statistics title while paused"
later=${BASH_REMATCH[1]}
echo "Space: '$title'; Home: $before; Page Up: $before -> $after, paused at $later"
# Press and release seek twice, 2 s each at the paced 100 frames per second and more at a
# lower rate, then stay paused.
awk -v a="$before" -v b="$after" 'BEGIN { exit !(b - a > 2.5) }' ||
  fail "Page Up moved $before -> $after"
[ "$after" = "$later" ] || fail "the demo time ran on while paused ($after -> $later)"

# A program that is gone already (its window with it) is reported as such, with its exit code.
if ! kill -0 "$demo" 2>/dev/null; then
  status=0
  wait "$demo" || status=$?
  fail "kaveo.exe ended by itself before Escape, exit code $status: $(tail -c 300 "$work/out")"
fi
# The program may be gone, window and all, before xdotool sends the key's release.
demo_key Escape 2>/dev/null || true
status=0
wait "$demo" || status=$?
[ "$status" -eq 0 ] || fail "Escape gave exit code $status"
echo "Escape: exit code 0"

# 2. No soundtrack: the grey dots, the error box, exit code 1 once it is answered.
timeout 60 wine "$build/tests/windows/kaveo_without_music.exe" </dev/null >"$work/out" 2>&1 &
broken=$!
box=$(wait_window '^Demo error\.$' 30) || fail "no error box"
sleep 1
xdotool key --window "$box" Return 2>/dev/null || true # the box closes on the press
status=0
wait "$broken" || status=$?
[ "$status" -eq 1 ] || fail "the error box gave exit code $status"
echo "no soundtrack: error box, exit code 1"

# 3. With sound: a private PulseAudio server with a null sink gives wine a waveOut device.
# The soundtrack must reach the server, and the demo time must follow it at real speed.
pulse=$work/pulse
mkdir -p "$pulse"
HOME=$pulse XDG_RUNTIME_DIR=$pulse timeout 120 pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --use-pid-file=no -L module-null-sink \
  -L "module-native-protocol-unix socket=$pulse/native auth-anonymous=1" \
  >"$pulse/log" 2>&1 </dev/null &
server=$!
trap 'kill "$server" 2>/dev/null || true; cleanup' EXIT
export PULSE_SERVER=unix:$pulse/native
for _ in $(seq 1 20); do pactl info >/dev/null 2>&1 && break; sleep 0.5; done
timeout 90 wine "$build/kaveo.exe" </dev/null >"$work/out" 2>&1 &
demo=$!
win=$(wait_window '^Please press alt[+]enter for full screen mode[.]$' 30) ||
  fail "no console window with sound"
sleep 3
demo_key space
sleep 1
streams=$(pactl list sink-inputs short 2>/dev/null | grep -c '44100Hz' || true)
[ "$streams" -ge 1 ] || fail "no 44,100 Hz stream reached the sound server"
[[ "$(demo_title)" =~ ^Tempus\ ([0-9.]+) ]] || fail "no statistics title with sound"
first=${BASH_REMATCH[1]}
start=$(date +%s.%N)
sleep 4
[[ "$(demo_title)" =~ ^Tempus\ ([0-9.]+) ]] || fail "no statistics title with sound"
second=${BASH_REMATCH[1]}
wall=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
echo "with sound: $streams stream(s); demo time $first -> $second in $wall s of wall time"
awk -v a="$first" -v b="$second" -v w="$wall" 'BEGIN { d = b - a - w; exit !(d < 0.3 && d > -0.3) }' ||
  fail "the demo time did not follow the sound ($first -> $second in $wall s)"
# The program may be gone, window and all, before xdotool sends the key's release.
demo_key Escape 2>/dev/null || true
status=0
wait "$demo" || status=$?
[ "$status" -eq 0 ] || fail "Escape with sound gave exit code $status"
echo "smoke test: 7 passed, 0 failed"
