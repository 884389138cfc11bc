#!/usr/bin/env bash
# Compiles every source of src/ and sim/ for Windows as far as this machine can: MinGW-w64's g++
# with -fsyntax-only, against this machine's Qt headers, with the compile definitions and include
# folders CMake gives each file (and this machine's OpenSSL, QtKeychain, PoDoFo, libxml2, xmlsec and
# libqrencode headers behind MinGW's own). Windows-only branches (#ifdef Q_OS_WIN) are parsed and
# type checked; nothing is linked or run, since there is no Qt for Windows here. Exits non-zero on
# any error.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix
dir=${BUILD_DIR:-build-windows-check}
cmake -S . -B "$dir" -G Ninja -DVANTOR_BUILD_TESTS=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

python3 - "$dir/compile_commands.json" "$PWD" <<'PY'
import concurrent.futures, json, os, shlex, subprocess, sys
commands, root = sys.argv[1], sys.argv[2]
compiler = 'x86_64-w64-mingw32-g++-posix'
shims = os.path.join(os.path.dirname(os.path.abspath(commands)), 'windows-shims')
os.makedirs(shims, exist_ok=True)
with open(os.path.join(shims, 'iconv.h'), 'w') as f:
    f.write('#pragma once\ntypedef void *iconv_t;\n')
jobs = []
for entry in json.load(open(commands)):
    source = entry['file']
    if not (source.startswith(root + '/src/') or source.startswith(root + '/sim/')):
        continue  # generated files (moc) are not ours to check
    args = shlex.split(entry['command'])
    flags = []
    for i, a in enumerate(args):
        if a.startswith(('-D', '-I')):
            flags.append(a)
        elif a == '-isystem':
            flags += [a, args[i + 1]]
    # As Qt builds for Windows: the wide-character Windows API. The third-party headers a Windows
    # build takes from its own packages (OpenSSL, QtKeychain, PoDoFo and its Boost, libxml2, xmlsec, libqrencode) come from
    # this machine's, after MinGW's own.
    # libxml2's headers name iconv_t, which a Windows build takes from its libiconv's header: a
    # stand-in for that one type, since this machine's iconv.h is glibc's.
    third_party = ['-idirafter', shims, '-idirafter', '/usr/include', '-idirafter', '/usr/include/x86_64-linux-gnu']
    jobs.append(([compiler, '-std=c++20', '-fsyntax-only', '-DUNICODE', '-D_UNICODE'] + flags + third_party + [source],
                 entry['directory']))

def check(job):
    return subprocess.run(job[0], cwd=job[1], capture_output=True, text=True)

with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
    runs = list(pool.map(check, jobs))
failed = 0
for run in runs:
    if run.returncode != 0:
        failed += 1
        sys.stderr.write(run.stderr)
checked = len(runs)
print(f'windows check: {checked} sources, {failed} with errors')
sys.exit(1 if failed or not checked else 0)
PY
