#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets (see each target's header for the input
# format): a few well-formed inputs of each kind, from which the fuzzer mutates.
set -euo pipefail
cd "$(dirname "$0")"
seed() { mkdir -p "$(dirname "$1")"; printf "$2" > "$1"; }

# input_decoder: flags, origin column and row, start time, then (length|decode, gap) reads.
head='\x01\x00\x00\x00\x00\x00\x00'
seed input_decoder/text          "$head"'\x85\x00hello'
seed input_decoder/arrows_split  "$head"'\x82\x00\x1b[\x81\x05A\x83\x00\x1bOD'
seed input_decoder/lone_escape   "$head"'\x81\x00\x1b\x80\x3c'
seed input_decoder/tilde_keys    "$head"'\x8c\x00\x1b[5~\x1b[6~\x1b[1~'
seed input_decoder/kitty         "$head"'\x8d\x00\x1b[?15u\x1b[27u\x8a\x00\x1b[109;1:3u'
seed input_decoder/sgr_mouse     "$head"'\x8a\x00\x1b[<0;5;7M\x8a\x10\x1b[<0;5;7m\x8a\x10\x1b[<0;5;7M'
seed input_decoder/mouse_drag    "$head"'\x8b\x00\x1b[<32;9;3M\x8c\x00\x1b[<35;10;3M'
seed input_decoder/x10_and_alt   "$head"'\x86\x00\x1b[M !!\x83\x00\x1bx\x1b'
seed input_decoder/answers       "$head"'\x8b\x00\x1b[?2026;2$y\x90\x00\x1bP>|XTerm(379)\x1b\\\x99\x00\x1b]4;1;rgb:cdcd/0000/0000\x07\x87\x00\x1b[?62;c'
seed input_decoder/answers_urxvt "$head"'\x9e\x00\x1b]4;1;rgb:cd/00/00\x1b\x1b[>85;95;0c\x85\x00\x1b[?6c'
seed input_decoder/overlong      "$head"'\xc6\x00\x1b[11111111111111111111111111111111111111111111111111111111111111111111\x83\x00mn\x1b'
seed input_decoder/time_wraps    '\x03\x02\x01\xf0\xff\xff\xff\x82\xff\x1b[\x81\xff\x42'

# resource_loaders: selector (0 palettes, 1 cell pairs, 2 layer bytes, 3 texture bytes;
# +128 loads twice), row width (little-endian), then the blob.
seed resource_loaders/palettes       '\x00\x00\x00\x01\x02\x20\x07\xb0\x17\x08\x01\xdb\x0f'
seed resource_loaders/palette_short  '\x80\x00\x00\x05\x03\x20\x07'
seed resource_loaders/cell_pairs     '\x01\x02\x00AbCdEfGh\x01'
seed resource_loaders/layer_bytes    '\x02\x03\x00\x00\x40\x80\xc0\xff\x10\x20'
seed resource_loaders/texture_4x2    '\x83\x04\x00\x00\x20\x40\x60\x80\xa0\xc0\xe0'
seed resource_loaders/texture_odd    '\x03\x03\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09'
seed resource_loaders/texture_empty  '\x03\x01\x00'
