#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for the given time, several at
# once on separate cores with -j.
# Usage: scripts/fuzz.sh [-j jobs] [seconds per target, default 60] [target ...]
# New inputs go to build-fuzz/corpus/<target>; crashers to build-fuzz/crash-<target>-*; each
# target's log to build-fuzz/<target>.log. Add a crasher to fuzz/corpus/<target>/ once it is
# fixed, so that the tests replay it. To shrink the committed corpus after a long run:
#   build-fuzz/bin/fuzz_<target> -merge=1 <empty folder> fuzz/corpus/<target> build-fuzz/corpus/<target>
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=1
if [ "${1:-}" = "-j" ]; then jobs=$2; shift 2; fi
scripts/deps.sh clang libclang-rt-14-dev
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frame_text serial_stream settings records signed_files)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON >/dev/null
cmake --build build-fuzz

# Inputs as long as the frames and files they stand for, no allocation stacks or quarantine (the
# allocator dominated every input; quarantine_size_mb=0 alone still keeps each thread's own
# quarantine batch, a sixth of the records target's time), leaks left to the replay in the
# sanitizer build.
export ASAN_OPTIONS=malloc_context_size=0:max_malloc_fill_size=0:quarantine_size_mb=0:thread_local_quarantine_size_kb=0:detect_leaks=0
declare -A max_len=([frame_text]=128 [serial_stream]=256 [settings]=512 [records]=4096 [signed_files]=131072)

run() {
  local t=$1
  mkdir -p "build-fuzz/corpus/$t"
  build-fuzz/bin/fuzz_$t -max_total_time="$seconds" -max_len="${max_len[$t]:-512}" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/crash-$t-" "build-fuzz/corpus/$t" "fuzz/corpus/$t" >"build-fuzz/$t.log" 2>&1
}
status=0
running=0
for t in "${targets[@]}"; do
  run "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then wait -n || status=1; running=$((running - 1)); fi
done
while [ "$running" -gt 0 ]; do wait -n || status=1; running=$((running - 1)); done

total=0
for t in "${targets[@]}"; do
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/$t.log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "build-fuzz/$t.log" | tail -1)
  echo "fuzz_$t: ${runs:-?} inputs, ${rate:-?} a second$(grep -q 'ERROR\|deadly signal' "build-fuzz/$t.log" && echo ', FINDING: see its log')"
  total=$((total + ${runs:-0}))
done
echo "all targets: $total inputs"
exit $status
