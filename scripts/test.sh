#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in the normal build (build/) and
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/). Exits non-zero on any
# failure or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/folder_graph.sh # the libraries' arrows: no circle, no module a library must not reach
scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure
