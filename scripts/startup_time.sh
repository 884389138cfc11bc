#!/usr/bin/env bash
# Time from starting the console until its window is mapped on an X server (Xvfb), N runs.
# Usage: scripts/startup_time.sh [runs, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  scripts/deps.sh xvfb xauth xdotool
  scripts/build.sh >/dev/null
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
for _ in $(seq "${1:-5}"); do
  start=$(date +%s%N)
  QT_QPA_PLATFORM=xcb build/bin/vantor_cal >/dev/null 2>&1 &
  app=$!
  until xdotool search --onlyvisible --name "Vantor SCALE" >/dev/null 2>&1; do sleep 0.02; done
  end=$(date +%s%N)
  echo "window shown after $(( (end - start) / 1000000 )) ms"
  kill "$app"; wait "$app" 2>/dev/null || true
done
