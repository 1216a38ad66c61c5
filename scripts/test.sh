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

status=0
ctest --preset native -j "$jobs" || status=1
ctest --preset win32 || status=1
wineserver -k 2>/dev/null || true
if [ $status -eq 0 ]; then echo "ALL TESTS PASSED"; else echo "SOME TESTS FAILED"; fi
exit $status
