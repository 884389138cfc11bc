#!/usr/bin/env bash
# Builds (optimised) and runs the throughput benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_TYPE=Release scripts/build.sh
QT_QPA_PLATFORM=offscreen build/bin/bench_throughput "$@"
