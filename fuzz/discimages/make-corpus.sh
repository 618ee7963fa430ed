#!/usr/bin/env bash
# Makes the seed corpus of the ISO session fuzzer under fuzz/corpus/: small
# images as xorriso writes them (Rock Ridge, with and without Joliet, a deep
# tree, two sessions), each from block 16 on, and one whose folder record
# leads back to the root.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$top/fuzz/corpus/fuzz_isosession"
mkdir -p "$out"
mkdir -p "$work/tree/A/B/C/D/E/F/G/H/I/J" "$work/tree/Other"
echo one > "$work/tree/A/one.txt"
echo deep > "$work/tree/A/B/C/D/E/F/G/H/I/J/deep.txt"
echo other > "$work/tree/Other/Grüße.txt"
quiet() { "$@" >/dev/null 2>&1; }
quiet xorriso -as mkisofs -no-pad -R -J -V Joliet -o "$work/joliet.iso" "$work/tree"
quiet xorriso -as mkisofs -no-pad -R -V Plain -o "$work/plain.iso" "$work/tree"
quiet xorriso -as mkisofs -no-pad -R -J -D -V Deep -o "$work/deep.iso" "$work/tree"
quiet xorriso -outdev "$work/two.iso" -map "$work/tree/A" /A -commit
quiet xorriso -dev "$work/two.iso" -map "$work/tree/Other" /Other -commit
python3 - "$work/plain.iso" "$work/loop.iso" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
root = 16 * 2048 + 156
extent, size = struct.unpack_from('<I', d, root + 2)[0], struct.unpack_from('<I', d, root + 10)[0]
at = extent * 2048
while d[at]:
    length, flags, name_length = d[at], d[at + 25], d[at + 32]
    if flags & 2 and name_length == 1 and d[at + 33] == ord('A'):
        struct.pack_into('<I', d, at + 2, extent)
        struct.pack_into('>I', d, at + 6, extent)
    at += length
open(sys.argv[2], 'wb').write(d)
PY
# From block 16 on, without the zeros at the end (what the fuzzer does not
# hand over reads as zeros or as outside the image).
for iso in joliet plain deep two loop; do
  python3 -c 'import sys; sys.stdout.buffer.write(open(sys.argv[1], "rb").read()[32768:].rstrip(b"\0"))' \
    "$work/$iso.iso" > "$out/$iso"
done
