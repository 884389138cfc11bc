#!/usr/bin/env bash
# The console against the virtual scale at line rate (225 reports/s, 1 % bad frames and noise),
# offscreen, for the given minutes; prints reports sent and dispatched, CPU share and memory.
# Usage: scripts/soak.sh [minutes, default 5] [reports per second, default 225]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
QT_QPA_PLATFORM=offscreen build/bin/soak "${1:-5}" "${2:-225}"
