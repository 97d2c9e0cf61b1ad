#!/usr/bin/env bash
# Makes examples/chime.adp, the wave that doorbell.mml plays: a fading 880 Hz tone, 0.4 s,
# 8 kHz mono, in 4-bit ADPCM as the audio track embeds it (raw data, no container). ffmpeg
# encodes it into a WAVE file; the body of that file's "data" chunk is the wave.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp --suffix=.wav)
trap 'rm -f "$tmp"' EXIT
ffmpeg -v error -y -f lavfi -i "sine=frequency=880:sample_rate=8000:duration=0.4" \
  -af "afade=t=out:st=0.05:d=0.35" -ac 1 -c:a adpcm_yamaha -f wav "$tmp"

# Walk the RIFF chunks (4-byte id, 4-byte little-endian size, body padded to even length).
size=$(stat -c %s "$tmp")
offset=12
while [ "$offset" -lt "$size" ]; do
  id=$(dd if="$tmp" bs=1 skip="$offset" count=4 2>/dev/null)
  length=$(od -An -tu4 -j $((offset + 4)) -N4 --endian=little "$tmp" | tr -d ' ')
  if [ "$id" = data ]; then
    dd if="$tmp" of=chime.adp bs=1 skip=$((offset + 8)) count="$length" 2>/dev/null
    echo "chime.adp: $length bytes"
    exit 0
  fi
  offset=$((offset + 8 + length + length % 2))
done
echo "make-chime.sh: no data chunk in ffmpeg's output" >&2
exit 1
