#!/usr/bin/env bash
# What a DCC costs, in an optimised build (build-release/): a record of 60 readings written as a
# DCC, and signed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
build-release/bin/dcc_bench
