#!/usr/bin/env bash
# Runs clang-tidy with the committed .clang-tidy over the product's sources (not tests,
# benchmarks or fuzz targets) of a configured build. Exits non-zero on any finding.
#   scripts/clang-tidy.sh [build-dir] [jobs] [part/parts]
# part/parts (for example 1/2) checks every parts-th translation unit from the part-th on, so CI
# can run the halves one after another on a processor that comes free.
# With unity batches (the presets' default) each batch is parsed once and the findings in the
# sources it includes are reported, which makes the run several times faster than file by file.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
jobs=${2:-2}
share=${3:-1/1}
part=${share%/*}
parts=${share#*/}
[ -f "$build/compile_commands.json" ] || { echo "clang-tidy.sh: configure $build first" >&2; exit 1; }
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
[ -n "$tidy" ] || { echo "clang-tidy.sh: run-clang-tidy is missing (scripts/install-deps.sh)" >&2; exit 1; }
mapfile -t files < <(python3 - "$build/compile_commands.json" "$(pwd)" <<'PY'
import json, re, sys
root = sys.argv[2] + '/'
skip = ('/tests/', '/gui_tests/', '/kernel-tests/', '/bench/', '/fuzz/')
seen = set()
for entry in json.load(open(sys.argv[1])):
    f = entry['file']
    if not f.startswith('/'):
        f = entry['directory'] + '/' + f
    if f in seen:
        continue
    seen.add(f)
    if '/Unity/unity_' in f:
        included = re.findall(r'#include "([^"]+)"', open(f).read())
        if included and not any(s in i for i in included for s in skip) and \
                all(i.startswith(root) for i in included):
            print(f)
    elif f.startswith(root) and not f.startswith(root + 'build/') and not any(s in f for s in skip):
        print(f)
PY
)
mine=()
for i in "${!files[@]}"; do
    if (( i % parts == part - 1 )); then mine+=("${files[$i]}"); fi
done
files=("${mine[@]}")
echo "clang-tidy: ${#files[@]} translation units (part $share)"
"$tidy" -p "$build" -j "$jobs" -quiet "${files[@]}"
