#!/usr/bin/env bash
# Bounds of the MIDI import as a user meets them: hostile MIDI files of 16 MiB converted (and,
# when they convert, compiled) by the command line, each run's time and peak memory printed.
# Usage: bench/midi_import_bounds.sh [QUAVREXC] (default build-release/quavrexc).
set -euo pipefail
quavrexc="${1:-build-release/quavrexc}"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
python3 - "$folder" <<'PY'
import struct, sys
folder = sys.argv[1]
size = 16 << 20
def save(name, body):
    track = body + b'\x00\xff\x2f\x00'
    data = b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480) + b'MTrk' + struct.pack('>I', len(track)) + track
    open(folder + '/' + name, 'wb').write(data)
save('notes.mid', b'\x00\x90\x3c\x40\x01\x80\x3c\x00' * ((size - 64) // 8))
save('bends.mid', b'\x00\xe0\x00\x40' + b'\x00\x01\x40' * ((size - 64) // 3))
save('sysex.mid', (b'\x00\xf0\x7f' + b'\x11' * 127) * ((size - 64) // 130))
body = bytearray()
notes = bends = 0
while len(body) + 200 < size:
    if notes >= 49000 and bends >= 900000:
        body += b'\x00\xf0\x7f' + b'\x11' * 127
    elif bends < 900000 and bends < 19 * notes:
        body += b'\x00\xe0\x00\x41'; bends += 1
    else:
        body += b'\x01\x90\x3c\x40\x01\x80\x3c\x00'; notes += 1
save('largest.mid', bytes(body))
PY
for name in notes bends sysex largest; do
  printf '%-12s ' "$name.mid"
  /usr/bin/time -f '%e s, %M KiB peak' "$quavrexc" --ma2 --force "$folder/$name.mid" 2>&1 |
    tr "\n" " " || true
  echo
done
