#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console against the virtual scale on port 1.
# The scale's trace of every frame goes to build/bin/vantor_sim.log; it stops with the console.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh

bin=build/bin
rm -f "$bin/COM1"
"$bin/vantor_sim" --port 1 --dir "$bin" </dev/null >"$bin/vantor_sim.log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$bin/COM1" ] && break; sleep 0.1; done
"$bin/vantor_cal"
