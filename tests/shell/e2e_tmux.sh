#!/usr/bin/env bash
# End to end in a real terminal: kaveo runs inside tmux with SDL's dummy audio driver;
# keys go in with send-keys, and the screen, the title, the cursor and the alternate
# screen are read back from tmux. Usage: e2e_tmux.sh path/to/kaveo
set -u
kaveo=$(realpath "$1")
sock="kaveo-e2e-$$-0"
runs=0
work=$(mktemp -d)
tm() { tmux -L "$sock" "$@"; }
cleanup() { tm kill-server >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT

failures=0
passes=0
pass() { echo "ok: $*"; passes=$((passes + 1)); }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
    tm capture-pane -p -t e2e 2>/dev/null | sed 's/^/  | /' | head -60
}
pane() { tm display-message -p -t e2e "$1" 2>/dev/null; }
screen() { tm capture-pane -p -t e2e 2>/dev/null; }

# Polls `condition` (a shell expression) every 50 ms for up to $2 seconds.
wait_for() {
    local condition=$1 seconds=$2 i
    for ((i = 0; i < seconds * 20; i++)); do
        if eval "$condition"; then return 0; fi
        sleep 0.05
    done
    return 1
}

# Starts an interactive shell in a fresh tmux server (a window of $columns x $rows, 100 x 56
# unless set) and runs kaveo in it, so that the prompt coming back shows that the terminal
# was handed back.
columns=100
rows=56
launch() {
    # A fresh server on a socket of its own: reusing one races with its shutdown.
    tm kill-server >/dev/null 2>&1
    runs=$((runs + 1))
    sock="kaveo-e2e-$$-$runs"
    tm -f /dev/null new-session -d -s e2e -x "$columns" -y "$rows" \
        "env -i PATH=/usr/bin:/bin TERM=tmux-256color HOME=$work PS1='e2e\$ ' bash --norc --noprofile"
    tm set-option -g status off >/dev/null
    tm set-option -g set-titles on >/dev/null
    wait_for '[[ "$(screen)" == *"e2e\$"* ]]' 5 || fail "the test shell did not start"
    tm send-keys -t e2e "SDL_AUDIODRIVER=dummy $kaveo $*; echo rc=\$?" Enter
}

title_time() { pane '#{pane_title}' | sed -n 's/^Tempus \([0-9.]*\) est.*/\1/p'; }

# --- Without a terminal: a clear message and exit code 1.
SDL_AUDIODRIVER=dummy "$kaveo" </dev/null >"$work/out" 2>"$work/err"
rc=$?
if [ "$rc" -eq 1 ] && grep -q "Cannot initialize console." "$work/err"; then
    pass "without a terminal: Cannot initialize console., exit 1"
else
    fail "without a terminal: rc=$rc, stderr: $(cat "$work/err")"
fi

# --- Start-up, a frame, the statistics title, pausing and seeking, Down ends it (one
# character per cell, as the console's own grid).
launch --layout cells
if wait_for '[[ "$(pane "#{pane_title}")" == "Please press alt+enter for full screen mode." ]]' 5; then
    pass "start-up title"
else
    fail "start-up title: '$(pane '#{pane_title}')'"
fi
if wait_for '[[ "$(screen)" == *"........................................"* ]]' 5; then
    pass "grey dots at start-up"
else
    fail "no grey dots at start-up"
fi
[ "$(pane '#{alternate_on}')" = 1 ] && pass "alternate screen on" || fail "alternate screen off while running"
if wait_for '[[ "$(screen)" == *[░▒▓█]* ]]' 12; then
    pass "a frame of the demo (shade characters)"
else
    fail "no shade characters in the demo's frames"
fi
tm send-keys -t e2e Space
if wait_for '[[ -n "$(title_time)" ]]' 5; then
    pass "Space shows the statistics title: $(pane '#{pane_title}')"
else
    fail "Space: title is '$(pane '#{pane_title}')'"
fi
# Home pauses at 0 first: the seek steps grow as the frame rate falls, and from 0 even a
# slow machine's Page Up stays inside the demo instead of running past its end.
tm send-keys -t e2e Home
sleep 0.5
before=$(title_time)
[ "$before" = "0.0" ] && pass "Home seeks to 0.0" || fail "Home: title time $before"
# A terminal sends no key release; the one that follows each press is made up, so that a
# stroke seeks twice: 2 s each at 100 frames per second, more at a lower rate.
tm send-keys -t e2e PPage
sleep 0.5
after=$(title_time)
sleep 0.5
later=$(title_time)
if [ -n "$before" ] && awk -v b="$before" -v a="$after" -v l="$later" \
    'BEGIN { exit !(a - b >= 3.0 && a == l) }'; then
    pass "Page Up seeks forward ($before -> $after) and pauses ($later)"
else
    fail "Page Up: before $before, after $after, later $later"
fi
tm send-keys -t e2e Down
if wait_for '[[ "$(screen)" == *"rc=0"* ]]' 5; then
    pass "Down ends the demo with exit code 0"
else
    fail "Down did not end the demo with exit code 0"
fi

# --- Escape: exit code 0 and the terminal restored.
launch
wait_for '[[ "$(pane "#{alternate_on}")" == 1 ]]' 5
sleep 1
tm send-keys -t e2e Escape
if wait_for '[[ "$(screen)" == *"rc=0"* ]]' 5; then
    pass "Escape ends the demo with exit code 0"
else
    fail "Escape did not end the demo with exit code 0"
fi
wait_for '[[ "$(screen)" == *"rc=0"*"e2e\$"* ]]' 3 && pass "the prompt is back" || fail "no prompt after Escape"
[ "$(pane '#{alternate_on}')" = 0 ] && pass "alternate screen left" || fail "still on the alternate screen"
[ "$(pane '#{cursor_flag}')" = 1 ] && pass "cursor visible" || fail "cursor hidden after exit"

# --- SIGTERM: the current frame finishes, exit code 0, terminal restored.
launch
wait_for '[[ "$(pane "#{alternate_on}")" == 1 ]]' 5
sleep 1
pkill -TERM -f "^$kaveo" || true
if wait_for '[[ "$(screen)" == *"rc=0"* ]]' 5; then
    pass "SIGTERM ends the demo with exit code 0"
else
    fail "SIGTERM did not end the demo with exit code 0"
fi
[ "$(pane '#{cursor_flag}')" = 1 ] && pass "cursor visible after SIGTERM" || fail "cursor hidden after SIGTERM"

# --- Layouts. Square cells need 160 x 50 (wide: every cell as two equal columns); smaller
# terminals in 256 colours get half blocks (80 x 25), or the top-left part and a note at exit.
line() { screen | sed -n "$(($1 + 1))p"; }
# Every character of every line stands twice, side by side, from column 0.
doubled() {
    local text i
    text=$(screen) || return 1
    [[ "$text" == *[░▒▓▀▄]* ]] || return 1
    while IFS= read -r text; do
        for ((i = 0; i < ${#text}; i += 2)); do
            [ "${text:i:1}" = "${text:i+1:1}" ] || [ $((i + 1)) -eq ${#text} ] || return 1
        done
    done <<<"$(screen)"
}
export LC_ALL=C.UTF-8

columns=160 rows=50 launch --silent
if wait_for doubled 12; then
    pass "160 x 50: wide, every glyph doubled"
else
    fail "160 x 50: the picture is not drawn in column pairs"
fi
# Tab: half (centred, ▄ alone: tmux draws no blocks itself), cells (shades, 80 columns), wide.
tm send-keys -t e2e Tab
if wait_for '[[ "$(screen)" == *▄* && "$(screen)" != *[░▒▓▀]* ]]' 5; then
    pass "Tab: half blocks"
else
    fail "Tab did not switch to half blocks"
fi
tm send-keys -t e2e Tab
# Centred: 40 blank columns on the left of every line.
margin_blank() { ! screen | grep -q '^ \{0,39\}[^ ]'; }
if wait_for '[[ "$(screen)" == *[░▒]* ]] && margin_blank && ! doubled' 5; then
    pass "Tab again: one character per cell"
else
    fail "Tab again did not switch to one character per cell"
fi
tm send-keys -t e2e Tab
wait_for doubled 5 && pass "Tab a third time: wide again" || fail "Tab did not come back to wide"
tm send-keys -t e2e Escape
wait_for '[[ "$(screen)" == *"rc=0"* ]]' 5 || fail "Escape did not end the wide run"
[[ "$(screen)" != *"the terminal was"* ]] && pass "no note after a whole picture" ||
    fail "a note although the picture was whole"

columns=80 rows=25 launch --silent
# The picture's last two rows are the terminal's last row.
if wait_for '[[ "$(line 24)" == *▄* ]]' 12; then
    pass "80 x 25: half blocks down to the last row"
else
    fail "80 x 25: nothing drawn in the last row"
fi
tm send-keys -t e2e Escape
wait_for '[[ "$(screen)" == *"rc=0"* ]]' 5 || fail "Escape did not end the half run"
[[ "$(screen)" != *"the terminal was"* ]] && pass "80 x 25 shows the whole picture: no note" ||
    fail "80 x 25: a note although the picture was whole"

columns=80 rows=24 launch --silent
wait_for '[[ "$(screen)" == *▄* ]]' 12 && pass "80 x 24: half blocks" || fail "80 x 24: no half blocks"
sleep 1.2 # past the time the terminal has to answer the size request
tm send-keys -t e2e Escape
if wait_for '[[ "$(screen)" == *"the terminal was 80 × 24; 160 × 50 or more shows"*"rc=0"* ]]' 5; then
    pass "80 x 24: the note at exit"
else
    fail "80 x 24: no note after a cropped run"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
