#!/usr/bin/env bash
# Long fuzzing, beside the short run of the tests: every fuzz target in turn for a number of
# executions, each with a corpus that is kept between runs, so that a run starts where the
# last one stopped. Every target fuzz/fuzz_<name>.cpp is built and run; new readers' targets
# join by being there.
#
#   scripts/fuzz-long.sh [RUNS [TARGET...]]
#
#   RUNS     executions per target (default 10000000), shared among the jobs
#   TARGET   names such as fuzz_split_parts (default: every target built)
#
# Environment:
#   FUZZ_CORPUS   where the corpora are kept (default fuzz/corpus-work, ignored by git); each
#                 target's corpus starts from its seeds in fuzz/corpus/<name>/
#   FUZZ_JOBS     processes fuzzing one target at once (default: the number of processors).
#                 They share the target's corpus and take up each other's finds as they go.
#   FUZZ_MAX_LEN  longest input tried, in bytes (default 2048). An execution costs about a
#                 microsecond a byte, and a run's corpus fills up towards this length: at 4096
#                 the MIDI target fell from 1,470 to 680 executions a second within an hour.
#                 Cut to 2 KiB, that corpus still reached every edge it reached whole.
#   FUZZ_TIMEOUT  seconds one input may take before it counts as a hang (default 10)
#   FUZZ_SECONDS  when set, each target also stops after this many seconds, with its figures
#   ASAN_OPTIONS  default malloc_context_size=0: faults are reported without the call stacks of
#                 allocations; run the target on a kept input to see them
#   FUZZ_BUILD    build folder of the fuzz preset (default build-fuzz); a run of hours can use
#                 a folder of its own, so that building build-fuzz meanwhile does not change it
#
# Before its run each target's corpus is merged down to the inputs that add coverage.
#
# Each target's figures (executions, executions a second, the slowest input) are printed as
# it ends. Inputs that crash or hang are kept in the build folder as <target>-crash-* (or
# -timeout-, -oom-); the script goes on with the other targets and fails at the end when any target
# failed.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10000000}"
shift || true
corpora="${FUZZ_CORPUS:-fuzz/corpus-work}"
jobs="${FUZZ_JOBS:-$(nproc)}"
max_len="${FUZZ_MAX_LEN:-2048}"
timeout="${FUZZ_TIMEOUT:-10}"
build="${FUZZ_BUILD:-build-fuzz}"
limit=()
if [ -n "${FUZZ_SECONDS:-}" ]; then
  limit=(-max_total_time="$FUZZ_SECONDS")
fi
# Without the call stack of every allocation and release the sanitizer has nothing to record on
# each malloc; that recording took a third of the score target's time. A heap fault is still
# caught, and its input kept: running the target on that input alone, with the sanitizer's
# defaults, shows where the memory came from.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] && targets+=("$(basename "$target")")
  done
fi

# The sum of one figure over the logs of a target's jobs.
sum_stat() {
  local stat="$1"
  shift
  awk -v stat="stat::$stat:" '$1 == stat { sum += $2 } END { print sum + 0 }' "$@"
}

# A corpus folder keeps every input any run found, also those that later finds made redundant:
# after hours it holds ten times the inputs that matter (30,775 against 3,216 for the score
# target), and every job reads them all at its start and looks through the folder each second
# for the finds of its peers. So each target's corpus is first merged down to the inputs that
# add coverage. The merged folder replaces the old one only once it is complete.
merge_corpus() {
  local merged="$corpus.merging"
  local before
  before=$(find "$corpus" -type f | wc -l)
  [ "$before" -gt 0 ] || return 0
  rm -rf "$merged"
  mkdir "$merged"
  if "$target" -merge=1 -timeout="$timeout" -rss_limit_mb=2048 "$merged" "$corpus" \
    >"$build/$name.merge.log" 2>&1; then
    rm -rf "$corpus.old"
    mv "$corpus" "$corpus.old"
    mv "$merged" "$corpus"
    rm -rf "$corpus.old"
    echo "  corpus merged from $before to $(find "$corpus" -type f | wc -l) inputs"
  else
    rm -rf "$merged"
    echo "  merging the corpus failed (see $build/$name.merge.log); it is fuzzed as it is"
  fi
}

failed=()
for name in "${targets[@]}"; do
  target="$build/fuzz/$name"
  if [ ! -x "$target" ]; then
    echo "no fuzz target $name in $build/fuzz" >&2
    exit 2
  fi
  corpus="$corpora/${name#fuzz_}"
  seeds="fuzz/corpus/${name#fuzz_}"
  # A merge stopped between its two renames left the corpus under its old name.
  if [ ! -d "$corpus" ] && [ -d "$corpus.old" ]; then
    mv "$corpus.old" "$corpus"
  fi
  mkdir -p "$corpus"
  merge_corpus
  echo "fuzzing $name for $runs executions in $jobs jobs (corpus $corpus, inputs up to $max_len bytes)"
  started=$SECONDS
  pids=()
  logs=()
  for ((job = 0; job < jobs; ++job)); do
    share=$((runs / jobs + (job < runs % jobs ? 1 : 0)))
    log="$build/$name.long.$job.log"
    logs+=("$log")
    # The first folder receives what the run finds; the seeds are only read.
    "$target" -runs="$share" "${limit[@]}" -max_len="$max_len" -timeout="$timeout" \
      -rss_limit_mb=2048 -report_slow_units="$timeout" -print_final_stats=1 \
      -artifact_prefix="$build/$name-" "$corpus" $([ -d "$seeds" ] && echo "$seeds") \
      >"$log" 2>&1 &
    pids+=($!)
  done
  status=0
  for pid in "${pids[@]}"; do
    wait "$pid" || status=1
  done
  seconds=$((SECONDS - started))
  executed=$(sum_stat number_of_executed_units "${logs[@]}")
  echo "  $executed executions in ${seconds}s ($((executed / (seconds > 0 ? seconds : 1))) a second)," \
    "slowest input $(awk '$1 == "stat::slowest_unit_time_sec:" { if ($2 > m) m = $2 } END { print m + 0 }' "${logs[@]}")s," \
    "corpus $(find "$corpus" -type f | wc -l) inputs"
  if [ $status -ne 0 ]; then
    for log in "${logs[@]}"; do
      grep -q '^Done ' "$log" || tail -n 40 "$log"
    done
    echo "$name failed; see $build/$name.long.*.log and $build/$name-*" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
