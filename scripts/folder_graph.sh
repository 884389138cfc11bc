#!/usr/bin/env bash
# The libraries of src/ and what each links, as CMake sees the targets: prints every arrow between
# them and the Qt modules each one reaches, and fails when the arrows form a circle or a library
# reaches a module it must not:
#   the console and the record model: no Qt SQL; the record model: no Qt GUI or Widgets either;
#   the stores: no Qt GUI or Widgets; the documents: no Qt SQL or Widgets.
# Usage: scripts/folder_graph.sh
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cmake -S . -B "$dir/build" -G Ninja -DVANTOR_BUILD_TESTS=OFF --graphviz="$dir/graph.dot" >/dev/null
python3 - "$dir/graph.dot" <<'PY'
import re, sys
edges = {}
for line in open(sys.argv[1]):
    m = re.search(r'// (\S+) -> (\S+)$', line.strip())
    if m:
        edges.setdefault(m.group(1), set()).add(m.group(2))
ours = sorted(n for n in edges if n.startswith('vantor_') and n not in ('vantor_cal', 'vantor_sim'))
def reach(node, seen=None):
    seen = set() if seen is None else seen
    for nxt in edges.get(node, ()):
        if nxt not in seen:
            seen.add(nxt)
            reach(nxt, seen)
    return seen
failures = []
for lib in ours:
    if lib in reach(lib):
        failures.append(f'{lib} reaches itself: a circle')
    inner = sorted(n for n in edges[lib] if n in ours)
    qt = sorted(n.split('::')[1] for n in reach(lib) if n.startswith('Qt6::') and n != 'Qt6::moc' and n != 'Qt6::Platform')
    print(f'{lib:22} -> {", ".join(inner) or "-"}   [Qt: {" ".join(qt)}]')
forbidden = {'vantor_console': ['Sql'], 'vantor_recordmodel': ['Sql', 'Gui', 'Widgets'],
             'vantor_recordstores': ['Gui', 'Widgets'], 'vantor_recorddocs': ['Sql', 'Widgets']}
for lib, modules in forbidden.items():
    for module in modules:
        if 'Qt6::' + module in reach(lib):
            failures.append(f'{lib} reaches Qt6::{module}')
for f in failures:
    print('FAIL:', f)
sys.exit(1 if failures else 0)
PY
