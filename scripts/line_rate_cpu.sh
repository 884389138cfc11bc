#!/usr/bin/env bash
# What the console costs at line rate: an optimised build (build-release/), Xvfb, the console's
# window shown, and the virtual scale, a process of its own, reporting 225 times a second (the
# most a 38400-baud line carries). Prints the console's CPU share (all threads) and its main
# thread's wake-ups a second, first idle on the login panel, then logged in at line rate.
# Usage: scripts/line_rate_cpu.sh [seconds per phase, default 20] [reports per second, default 225]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh xvfb xauth
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
dir=$(mktemp -d)
build-release/bin/vantor_sim --dir "$dir" --port 1 --rate "${2:-225}" --load 37.5 --quiet </dev/null >/dev/null 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 50); do [ -e "$dir/COM1" ] && break; sleep 0.1; done
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb} xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build-release/bin/line_rate "$dir" "${1:-20}"
