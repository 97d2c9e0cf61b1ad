#!/usr/bin/env python3
"""Compares two builds of a benchmark program on a machine whose speed drifts.

    bench/compare.py [--rounds N] [--filter REGEX] OLD_BENCH NEW_BENCH

Runs the two programs in turn, round after round, so that both meet the same spells of
slowness (on a shared virtual machine another guest's load can slow this one by half for
minutes), and reports for each benchmark the median and the best of each side's round medians,
with the score throughput where the benchmark counts bytes. Compare medians with medians: the
best shows the code's own speed, the median what a run meets on the machine as it is. The
quavrex_bench probe (BM_ProcessorShareProbe, run by default, its repetitions interleaved with
the others') tells how busy the machine was.

Example, a change against the commit before it:
    bench/compare.py --filter '(CompileScore|WholePipeline)/100' \\
        /tmp/old/build-release/bench/quavrex_bench build-release/bench/quavrex_bench
"""

import argparse
import json
import statistics
import subprocess
import sys


def round_medians(program, pattern, repetitions):
    """One run of `program`: {benchmark: (median seconds, median bytes per second or None)}."""
    output = subprocess.run(
        [program, f"--benchmark_filter={pattern}", f"--benchmark_repetitions={repetitions}",
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json",
         "--benchmark_enable_random_interleaving=true"],
        check=True, capture_output=True, text=True).stdout
    if not output.strip():
        sys.exit(f"{program}: no benchmark matches {pattern!r}")
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    medians = {}
    for entry in json.loads(output)["benchmarks"]:
        if entry.get("aggregate_name") != "median":
            continue
        seconds = entry["real_time"] * scale[entry["time_unit"]]
        medians[entry["run_name"]] = (seconds, entry.get("bytes_per_second"))
    return medians


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("--filter", default="(CompileScore|WholePipeline)/100|ProcessorShareProbe")
    parser.add_argument("--repetitions", type=int, default=3)
    args = parser.parse_args()

    samples = {"old": {}, "new": {}}
    for number in range(1, args.rounds + 1):
        for side in ("old", "new"):
            program = getattr(args, side)
            for name, value in round_medians(program, args.filter, args.repetitions).items():
                samples[side].setdefault(name, []).append(value)
        print(f"round {number} of {args.rounds} done", file=sys.stderr)

    print(f"{'benchmark':34} {'old median':>11} {'old best':>9} {'new median':>11} "
          f"{'new best':>9} {'median':>7}")
    for name in sorted(samples["new"]):
        if name not in samples["old"]:
            continue
        row = []
        for side in ("old", "new"):
            seconds = [s for s, _ in samples[side][name]]
            row += [statistics.median(seconds), min(seconds)]
        change = (row[2] - row[0]) / row[0] * 100
        print(f"{name:34} {row[0] * 1e3:9.2f}ms {row[1] * 1e3:7.2f}ms {row[2] * 1e3:9.2f}ms "
              f"{row[3] * 1e3:7.2f}ms {change:+6.1f}%")
        for side in ("old", "new"):
            rates = [r for _, r in samples[side][name] if r]
            if rates:
                print(f"{'':34} {side}: {statistics.median(rates) / 1e6:.1f} MB/s median, "
                      f"{max(rates) / 1e6:.1f} MB/s best")


if __name__ == "__main__":
    main()
