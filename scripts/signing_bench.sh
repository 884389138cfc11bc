#!/usr/bin/env bash
# What signing costs, in an optimised build (build-release/): a record's signature at closing, then
# `vantor_cal --verify-records` over 10,000 signed records of 2,000 scales, whole, three times.
# The records file and the key are made once, in build-release/signing_bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
mkdir -p build-release/signing_bench
build-release/bin/signing_bench build-release/signing_bench
cp build-release/bin/vantor_cal build-release/signing_bench/ # a portable copy reads the file beside it
for i in 1 2 3; do
  /usr/bin/time -f "vantor_cal --verify-records: %e s, %M KB" build-release/signing_bench/vantor_cal --verify-records \
    | tail -1 || true
done
