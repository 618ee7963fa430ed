#!/usr/bin/env bash
# Makes the seed corpora of the tag fuzzers under fuzz/corpus/ from files
# generated here: ffmpeg and mutagen tags, our own writes, and hand-made
# old-format WMA headers.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sine="ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -fflags +bitexact -flags:a +bitexact"

id3="$top/fuzz/corpus/fuzz_id3v2"; ogg="$top/fuzz/corpus/fuzz_oggcomments"; asf="$top/fuzz/corpus/fuzz_asfheader"
mkdir -p "$id3" "$ogg" "$asf"

$sine -c:a libmp3lame -id3v2_version 4 -metadata title='Песня' -metadata comment=c "$work/v24.mp3"
$sine -c:a libmp3lame -id3v2_version 3 -metadata title=T -metadata artist=A "$work/v23.mp3"
/usr/bin/python3 - "$work/v23.mp3" "$work/mut.mp3" <<'PY'
import shutil, sys
from mutagen.id3 import ID3, TIT2, COMM, APIC, TXXX
shutil.copy(sys.argv[1], sys.argv[2])
t = ID3()
t.add(TIT2(encoding=1, text='夜'))
t.add(COMM(encoding=1, lang='eng', desc='', text='x'))
t.add(APIC(encoding=0, mime='image/png', type=3, desc='c', data=b'\xff\x00' * 20))
t.add(TXXX(encoding=3, desc='comment', text='y'))
t.save(sys.argv[2], v2_version=3, padding=lambda i: 8)
PY
for f in v24 v23 mut; do head -c 600 "$work/$f.mp3" > "$id3/$f"; done

$sine -c:a libvorbis -metadata title=Song -metadata artist='Кино' "$work/a.ogg"
head -c 6000 "$work/a.ogg" > "$ogg/vorbis"
$sine -c:a libopus -f ogg "$work/b.ogg"
head -c 2000 "$work/b.ogg" > "$ogg/opus"

$sine -c:a wmav2 -metadata title=Song -metadata WM/Year=1999 "$work/a.wma"
size=$(/usr/bin/python3 -c "import struct,sys;print(struct.unpack('<Q',open(sys.argv[1],'rb').read()[16:24])[0])" "$work/a.wma")
head -c "$size" "$work/a.wma" > "$asf/asf1"
/usr/bin/python3 - "$asf/old" <<'PY'
import struct, sys, uuid
def guid(text): return uuid.UUID(text).bytes_le
def u16(s): return s.encode('utf-16-le')
def rec(i, name, value): return struct.pack('<BIHH', i, 0, len(name), len(value)) + u16(name) + u16(value)
body = struct.pack('<H', 3) + rec(1, '', 'A') + rec(2, '', 'T') + rec(100, 'WM/Track', '7')
records = guid('D6E229D5-35DA-11D1-9034-00A0C90349BE') + struct.pack('<Q', 24 + len(body)) + body
head = guid('D6E229D1-35DA-11D1-9034-00A0C90349BE') + struct.pack('<Q', 24 + len(records))
open(sys.argv[1], 'wb').write(head + records)
PY
echo "seeds: $(ls "$id3" | wc -l) id3, $(ls "$ogg" | wc -l) ogg, $(ls "$asf" | wc -l) asf"
