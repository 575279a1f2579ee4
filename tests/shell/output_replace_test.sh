#!/usr/bin/env bash
# kaveo render replaces its output file only once everything was written: a write that fails
# halfway (here a file size limit) leaves the old file and no partial one; a whole run
# replaces it and keeps its permissions.
set -u
kaveo=$1
dir=$2
rm -rf "$dir" && mkdir -p "$dir" || exit 1
fail() { echo "FAIL: $*" >&2; exit 1; }

echo old > "$dir/frames.cells"
chmod 640 "$dir/frames.cells"
err=$( (ulimit -f 16; trap '' XFSZ; exec "$kaveo" render --frames 1-100 --output "$dir/frames.cells") 2>&1)
code=$?
[ $code -eq 1 ] || fail "exit $code after a failed write, expected 1: $err"
[[ $err == *"File too large"* ]] || fail "the reason is not named: $err"
[ "$(cat "$dir/frames.cells")" = old ] || fail "the old file was changed"
[ "$(ls "$dir")" = frames.cells ] || fail "files left behind: $(ls "$dir")"

"$kaveo" render --frames 1-2 --output "$dir/frames.cells" || fail "a whole run failed"
[ "$(stat -c %s "$dir/frames.cells")" -eq 16000 ] || fail "the file was not replaced"
[ "$(stat -c %a "$dir/frames.cells")" = 640 ] || fail "permissions not kept"
[ "$(ls "$dir")" = frames.cells ] || fail "files left behind: $(ls "$dir")"
rm -rf "$dir"
echo ok
