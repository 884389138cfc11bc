#!/usr/bin/env bash
# Time from starting a program until its window is mapped on an X server (Xvfb), N runs each of
# the console and of a bare Qt window, alternating; prints each run, the medians and their ratio.
# Options after the number of runs go to the console (e.g. --records-server for a server that
# cannot be reached).
# Usage: scripts/startup_time.sh [runs, default 5] [console options...]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  scripts/deps.sh xvfb xauth xdotool
  BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
bin=build-release/bin
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$bin/vantor_cal" "$dir/" # a portable copy with a folder of its own
runs=${1:-5}
shift || true
time_to_window() { # window title, program and its arguments
  local start end app title=$1
  shift
  start=$(date +%s%N)
  QT_QPA_PLATFORM=xcb "$@" >"$dir/output" 2>&1 &
  app=$!
  until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
    kill -0 "$app" 2>/dev/null || { echo "$1 ended before its window showed:" >&2; cat "$dir/output" >&2; exit 1; }
    sleep 0.01
  done
  end=$(date +%s%N)
  kill "$app"; wait "$app" 2>/dev/null || true
  echo $(( (end - start) / 1000000 ))
}
console=(); bare=()
for _ in $(seq "$runs"); do
  console+=("$(time_to_window "Vantor SCALE" "$dir/vantor_cal" "$@")")
  bare+=("$(time_to_window "Bare Qt window" "$bin/bare_window")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
echo "console:    ${console[*]} ms, median $(median "${console[@]}")"
echo "bare window: ${bare[*]} ms, median $(median "${bare[@]}")"
awk -v c="$(median "${console[@]}")" -v b="$(median "${bare[@]}")" 'BEGIN {printf "ratio: %.2f\n", c / b}'
