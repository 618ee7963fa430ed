#!/usr/bin/env bash
# Makes the seed corpus of the theme file fuzzer under fuzz/corpus/: the
# control gallery's sample theme file (pictures, numbers, switches, a text)
# and a small one of numbers only.
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
echo "seeds: $(ls "$out" | wc -l)"
