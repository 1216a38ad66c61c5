#!/usr/bin/env bash
# Sets up a fresh machine, builds both targets and runs every test:
# native unit tests (sanitizers), then the Windows unit, Win32 and
# end-to-end tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

. scripts/wine-env.sh
tarnbell_start_xvfb
tarnbell_init_prefix

log=build/test-output.log
: > "$log"
status=0
ctest --preset native -j "$jobs" 2>&1 | tee -a "$log" || status=1
ctest --preset win32 2>&1 | tee -a "$log" || status=1
wineserver -k 2>/dev/null || true

# One closing line with the counts of both runs.
summary=$({ grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" || true; } |
  sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' |
  awk '{ failed += $1; total += $2 } END { printf "%d passed, %d failed", total - failed, failed }')
echo "Tests: $summary"
exit $status
