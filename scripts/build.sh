#!/usr/bin/env bash
# Configures and builds the debug tree (build/) with the sanitizers on.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset debug >/dev/null
cmake --build build
