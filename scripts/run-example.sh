#!/usr/bin/env bash
# Sets up, builds and compiles the bundled example score; prints its log line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
build/quavrexc --ma2 examples/overture.mml
