#!/usr/bin/env bash
# Builds an optimised build in build-release/ and runs the throughput benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh
QT_QPA_PLATFORM=offscreen build-release/bin/bench_throughput "$@"
