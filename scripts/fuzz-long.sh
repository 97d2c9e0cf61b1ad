#!/usr/bin/env bash
# Long fuzzing, beside the short run of the tests: every fuzz target in turn for a number of
# executions, each with a corpus that is kept between runs, so that a run starts where the
# last one stopped. Every target fuzz/fuzz_<name>.cpp is built and run; new readers' targets
# join by being there.
#
#   scripts/fuzz-long.sh [RUNS [TARGET...]]
#
#   RUNS     executions per target (default 10000000)
#   TARGET   names such as fuzz_split_parts (default: every target built)
#
# Environment:
#   FUZZ_CORPUS   where the corpora are kept (default fuzz/corpus-work, ignored by git); each
#                 target's corpus starts from its seeds in fuzz/corpus/<name>/
#   FUZZ_MAX_LEN  longest input tried, in bytes (default 4096). Scores and files for handsets
#                 are a few kilobytes; longer inputs only make each execution slower.
#   FUZZ_TIMEOUT  seconds one input may take before it counts as a hang (default 10)
#
# Inputs that crash or hang are kept as build-fuzz/<target>-crash-* (or -timeout-, -oom-); the
# script goes on with the other targets and fails at the end when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10000000}"
shift || true
corpora="${FUZZ_CORPUS:-fuzz/corpus-work}"
max_len="${FUZZ_MAX_LEN:-4096}"
timeout="${FUZZ_TIMEOUT:-10}"

cmake --preset fuzz >/dev/null
cmake --build build-fuzz

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] && targets+=("$(basename "$target")")
  done
fi

failed=()
for name in "${targets[@]}"; do
  target="build-fuzz/fuzz/$name"
  if [ ! -x "$target" ]; then
    echo "no fuzz target $name in build-fuzz/fuzz" >&2
    exit 2
  fi
  corpus="$corpora/${name#fuzz_}"
  seeds="fuzz/corpus/${name#fuzz_}"
  mkdir -p "$corpus"
  log="build-fuzz/$name.long.log"
  echo "fuzzing $name for $runs executions (corpus $corpus, inputs up to $max_len bytes)"
  # The first folder receives what the run finds; the seeds are only read.
  if "$target" -runs="$runs" -max_len="$max_len" -timeout="$timeout" -rss_limit_mb=2048 \
      -report_slow_units="$timeout" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/$name-" "$corpus" $([ -d "$seeds" ] && echo "$seeds") \
      >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
      "$log" || tail -n 1 "$log"
  else
    tail -n 40 "$log"
    echo "$name failed; see $log and build-fuzz/$name-*" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
