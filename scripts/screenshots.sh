#!/usr/bin/env bash
# Builds, then takes screenshots of the console's windows under Xvfb into screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh xvfb xauth
scripts/build.sh
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" build/bin/shots "${1:-screenshots}"
ls "${1:-screenshots}"
