#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, $1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
cmake --preset fuzz >/dev/null
cmake --build build-fuzz
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work="build-fuzz/corpus-$name"
  mkdir -p "$work"
  echo "fuzzing $name for ${seconds}s"
  log="build-fuzz/$name.log"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=0 -artifact_prefix="build-fuzz/crash-$name-" \
      "$work" "fuzz/corpus/${name#fuzz_}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name failed; the input that failed is in build-fuzz/ (crash-$name-*)" >&2
    exit 1
  fi
  tail -n 1 "$log"
done
