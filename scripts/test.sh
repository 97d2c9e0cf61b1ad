#!/usr/bin/env bash
# Sets up, builds and runs every test: the GoogleTest suites under the sanitizers, then a
# short bounded run of each fuzz target over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
