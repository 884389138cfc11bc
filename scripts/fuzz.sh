#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for the given time.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target ...]
# New inputs go to build-fuzz/corpus/<target>; crashers to build-fuzz/crash-<target>-*.
# Add a crasher to fuzz/corpus/<target>/ once it is fixed, so that the tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang libclang-rt-14-dev
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frame_text serial_stream settings)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON >/dev/null
cmake --build build-fuzz
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== fuzz_$t for ${seconds}s"
  build-fuzz/bin/fuzz_$t -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/crash-$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" 2>&1 | tail -n 25
done
