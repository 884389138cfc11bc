#!/usr/bin/env bash
# A mutation sample that measures the test suite: applies each fault of the list (default
# tests/mutants.txt) to src/ one at a time, rebuilds build-mutants/ incrementally, runs CTest and
# prints "killed" or "survived" for each, then a summary. The source is restored after each fault,
# also when the script is interrupted.
#
#   scripts/mutants.sh [list] [first-line-filter]
#
# A list line is file<TAB>original<TAB>replacement<TAB>fault; "\n", "\t" and "\\" in the texts
# stand for a line end, a tab and a backslash. The original must occur exactly once in the file.
set -euo pipefail
cd "$(dirname "$0")/.."
list=${1:-tests/mutants.txt}
filter=${2:-}
dir=build-mutants

scripts/deps.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTOR_TEST_TIMEOUT=60 >/dev/null
cmake --build "$dir" >/dev/null
# What the tests need, not the benchmarks and tools.
targets=$(ninja -C "$dir" -t targets all | sed -n 's/^\(tst_[a-z_]*\|fuzz_[a-z_]*\|vantor_sim\): phony$/\1/p' | sort -u)

backup=$(mktemp -d)
restore() { if [ -f "$backup/file" ]; then cp -p "$backup/file" "$(cat "$backup/name")"; rm -f "$backup/file"; fi; }
trap 'restore; rm -rf "$backup"' EXIT

killed=0; survived=0; invalid=0; n=0
table=$(mktemp)
# Tabs become a separator that is not white space, so that an empty replacement stays a field.
while IFS=$'\x1f' read -r file original replacement fault; do
  case "$file" in ''|'#'*) continue ;; esac
  [ -n "$filter" ] && [[ "$fault" != *"$filter"* ]] && continue
  n=$((n + 1))
  cp -p "$file" "$backup/file"; echo "$file" > "$backup/name"
  if ! python3 - "$file" "$original" "$replacement" <<'PY'
import re, sys
unescape = lambda s: re.sub(r'\\(.)', lambda m: {'n': '\n', 't': '\t'}.get(m.group(1), m.group(1)), s)
path, old, new = sys.argv[1], unescape(sys.argv[2]), unescape(sys.argv[3])
text = open(path, encoding='utf-8').read()
if text.count(old) != 1:
    sys.exit(1)
open(path, 'w', encoding='utf-8').write(text.replace(old, new))
PY
  then
    verdict=invalid; invalid=$((invalid + 1)); why="original text not found once"
  elif ! cmake --build "$dir" --target $targets >/dev/null 2>&1; then
    verdict=invalid; invalid=$((invalid + 1)); why="does not build"
  elif QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" -j2 --stop-on-failure >/dev/null 2>&1; then
    verdict=survived; survived=$((survived + 1)); why=""
  else
    verdict=killed; killed=$((killed + 1)); why=""
  fi
  # A run stopped at its first failure skips the fixtures' clean-up: the test PostgreSQL server.
  ctest --test-dir "$dir" -R '^postgres_stop$' >/dev/null 2>&1 || true
  restore
  printf '%-8s %-34s %s%s\n' "$verdict" "${file#src/}" "$fault" "${why:+ ($why)}" | tee -a "$table"
done < <(sed 's/\t/\x1f/g' "$list")
cmake --build "$dir" >/dev/null 2>&1 || true # back to the sources as they are
echo
echo "mutants: $n, killed: $killed, survived: $survived, invalid: $invalid"
rm -f "$table"
