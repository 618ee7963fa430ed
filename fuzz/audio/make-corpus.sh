#!/usr/bin/env bash
# Makes the seed corpus of the audio reader fuzzer under fuzz/corpus/: a short
# tone in each format, each file behind the byte that makes the fuzzer give
# it its extension (0 mp3, 1 wav, 2 ogg, 3 wma). The wav-chunk-claim-*
# seeds beside them are WAVs the fuzzer found whose chunks claim gigabytes
# (the same as tests/audio/data, behind their byte); they are kept as found.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$top/fuzz/corpus/fuzz_audioreader"
mkdir -p "$out"
sine="ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.1 -fflags +bitexact -flags:a +bitexact"

$sine -ac 1 -c:a pcm_s16le "$work/mono16.wav"
$sine -ac 2 -c:a pcm_u8 "$work/stereo8.wav"
$sine -ac 2 -c:a libmp3lame -b:a 16k "$work/cbr.mp3"
$sine -ac 1 -c:a libmp3lame -q:a 9 -write_xing 0 "$work/vbr.mp3"
$sine -ac 2 -c:a libvorbis "$work/stereo.ogg"
$sine -ac 2 -ar 22050 -c:a wmav2 -b:a 32k "$work/stereo.wma"

seed() { { printf "\\x0$1"; cat "$work/$2"; } > "$out/$2"; }
seed 0 cbr.mp3
seed 0 vbr.mp3
seed 1 mono16.wav
seed 1 stereo8.wav
seed 2 stereo.ogg
seed 3 stereo.wma
