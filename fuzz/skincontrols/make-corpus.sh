#!/usr/bin/env bash
# Makes the seed corpus of the theme file fuzzer under fuzz/corpus/: the
# control gallery's sample theme file (pictures, numbers, switches, a text)
# a small one of numbers only, and one whose many entries all point into one
# picture's bytes, each with a length of its own.
#   fuzz/skincontrols/make-corpus.sh [build folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$top/build}
out="$top/fuzz/corpus/fuzz_themefile"
mkdir -p "$out"
cmake --build "$build" --target controlgallery >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/controlgallery" --write-theme "$out/amber.theme"
/usr/bin/python3 - "$out/numbers.theme" <<'PY'
import struct, sys
entries = [(b"FormMinWidthInt", 1, struct.pack("<i", 200)), (b"ButtonTransparentBool", 2, b"\x01"),
           (b"ControlBorderColor", 1, struct.pack("<I", 0x1E5A8A))]
header = b"TVTHEME1" + bytes(4) + struct.pack("<I", 28) + bytes(4) + struct.pack("<I", 28) + bytes(4)
data_at = 28 + 77 * (len(entries) + 1)
body, data = b"", b""
for i, (name, kind, value) in enumerate(entries):
    body += name.ljust(64, b"\0") + struct.pack("<BIII", kind, data_at + len(data), len(value), 28 + 77 * (i + 1))
    data += value
body += b"end".ljust(64, b"\0") + struct.pack("<BIII", 0, 0, 0, 0)
open(sys.argv[1], "wb").write(header + body + data)
PY
/usr/bin/python3 - "$out/shared-picture.theme" <<'PY'
import struct, sys
width, height = 32, 32
row = width * 3
pixels = b"".join(bytes([x * 8, y * 8, 128]) * 1 for y in range(height) for x in range(width))
bmp = b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54)
bmp += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels
count = 400
header = b"TVTHEME1" + bytes(4) + struct.pack("<I", 28) + bytes(4) + struct.pack("<I", 28) + bytes(4)
data_at = 28 + 77 * (count + 1)
body = b""
for i in range(count):
    name = b"TitleBarLeftImage" if i == 0 else b"Picture%d" % i
    body += name.ljust(64, b"\0") + struct.pack("<BIII", 0, data_at, len(bmp) + i, 28 + 77 * (i + 1))
body += b"end".ljust(64, b"\0") + struct.pack("<BIII", 0, 0, 0, 0)
open(sys.argv[1], "wb").write(header + body + bmp + bytes(count))
PY
echo "seeds: $(ls "$out" | wc -l)"
