#!/usr/bin/env bash
# What the console costs at line rate: an optimised build (build-release/), Xvfb, the console's
# window shown, and the virtual scale reporting 225 times a second (the most a 38400-baud line
# carries). Prints the console's CPU share (all threads) and its main thread's wake-ups a second,
# first idle on the login panel, then logged in at line rate.
# Usage: scripts/line_rate_cpu.sh [seconds per phase, default 20] [reports per second, default 225]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh xvfb xauth
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  build-release/bin/line_rate "${1:-20}" "${2:-225}"
