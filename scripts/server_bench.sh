#!/usr/bin/env bash
# The records a team shares, timed: an optimised build (build-release/), a PostgreSQL server of
# its own (tests/postgres.sh, removed at the end), 10,000 records of one scale listed from it and
# 1,000 waiting records sent to it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh >/dev/null
dir=/tmp/vantor_pg_bench_$$
trap 'tests/postgres.sh stop "$dir"' EXIT
tests/postgres.sh start "$dir"
build-release/bin/server_bench "$dir"
