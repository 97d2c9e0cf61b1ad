#!/bin/bash
# Peak memory and time of the command line on hostile scores, each of at most 1 MiB. Every one
# must finish, or fail with its message, within 1 s and 100 MiB on the release build.
#
#   bench/adversarial.sh [build-release/quavrexc]
#
# One line per score: its name and size, the elapsed, user and system seconds, the peak resident
# size and the program's log line. Run it on an otherwise idle machine: elapsed time on a busy
# one measures the other work too (the user and system times do not; the system time is mostly
# the first touch of fresh memory).
set -euo pipefail

compiler=$(realpath "${1:-build-release/quavrexc}")
limit_s=${LIMIT_SECONDS:-60}     # a run past these limits shows as killed, its log line empty
limit_mib=${LIMIT_MIB:-3072}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, format option, generator (Python expression for the score text)
cases=(
  "repeat-one-part|--ma1|'1[|:16000000 C:|]'"
  "repeat-16-parts|--ma2|''.join('%d[|:16000000 C:|]' % p for p in range(1, 17))"
  "events-cap-16-parts|--ma2|''.join('%d[|:400000C:|]' % p for p in range(1, 17))"
  "repeat-glides|--ma2|'1[|:3000000(CE)1:|]'"
  "nested-repeats|--ma1|'1[' + '|:9' * 40 + 'C' + ':|' * 40 + ']'"
  "nested-repeats-16-parts|--ma2|''.join('%d[' % p + '|:99' * 8 + 'CDEFGAB' + ':|' * 8 + ']' for p in range(1, 17))"
  "glides-whole-range|--ma2|'1[' + '(O1C,O8C)*400000' * 10000 + ']'"
  "semitone-runs-whole-range|--ma1|'1[' + '(O2C#_O8C)*400000' * 10000 + ']'"
  "tuplets|--ma2|'1[' + '{CDE}8' * 100000 + ']'"
  "digits-million|--ma2|'1[C' + '9' * 1000000 + ']'"
  "tie-digits-million|--ma2|'1[C*' + '9' * 1000000 + ']'"
  "long-notes|--ma1|'1[' + 'C*2147483647' * 80000 + ']'"
  "slur-chain|--ma2|'1[' + 'C8&D8&' * 170000 + '@K4E]'"
  "a-part-ties|--ma2|'F[A<w.adp>]A[' + 'A&' * 500000 + ']'"
)

printf '%-26s %9s %8s %8s %8s %9s  %s\n' score bytes elapsed user sys peak_kib log
for entry in "${cases[@]}"; do
  IFS='|' read -r name option expression <<<"$entry"
  score="$work/$name.mml"
  python3 -c "import sys; sys.stdout.write($expression)" >"$score"
  printf 'wave' >"$work/w.adp"
  # Limits keep an unbounded build (an older one) from taking the machine down with it.
  (cd "$work" && ulimit -v "$((limit_mib * 1024))" &&
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" timeout "$limit_s" "$compiler" "$option" \
      "$score" >"$work/log" 2>&1 || true)
  read -r elapsed user sys peak < <(tail -n 1 "$work/time")
  printf '%-26s %9s %8s %8s %8s %9s  %s\n' "$name" "$(stat -c %s "$score")" "$elapsed" "$user" \
    "$sys" "$peak" "$(sed "s|$work/||" "$work/log" | head -1)"
done
