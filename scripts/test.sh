#!/usr/bin/env bash
# Sets up a fresh machine, builds every target and runs every test: the
# format check, native unit tests (sanitizers) and a bounded fuzz run, then
# the Windows unit, Win32, end-to-end and installer tests of the 64-bit
# build under 64-bit Wine, and of the 32-bit build under 32-bit Wine where
# this kernel can run 32-bit programs. Each build has its own Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
status=0
jobs=$(nproc)
. scripts/wine-env.sh win64 >/dev/null

mkdir -p build
# One format: a file that drifts from .clang-format fails the run.
if git ls-files '*.h' '*.cpp' '*.c' | xargs clang-format --dry-run --Werror 2>build/format.log; then
  format="every C and C++ file as .clang-format wants it"
else
  format="FAILED: $(grep -c 'error:' build/format.log) places differ from .clang-format (run clang-format -i)"
  status=1
fi

log=build/test-output.log
: > "$log"
: > build/kill-summary.log
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" 2>&1 | tee -a "$log" || status=1
# A bounded fuzz run over the settings values and step texts.
if scripts/fuzz.sh; then fuzz="passed"; else fuzz="FAILED"; status=1; fi

windows_tests() {  # BUILD
  ( . scripts/wine-env.sh "$1"
    tarnbell_start_xvfb
    tarnbell_init_prefix
    ctest --preset "$1" 2>&1 | tee -a "$log"
    rc=${PIPESTATUS[0]}
    # How many of the kill test's kills landed inside a save, for this build.
    grep -h "kills in" "build/$1/Testing/Temporary/LastTest.log" 2>/dev/null |
      sed "s/^/Kill test, $1: /" >> build/kill-summary.log || true
    wineserver -k 2>/dev/null || true
    exit "$rc" )
}

# Both Windows builds are built everywhere, so that neither can break unseen.
declare -A ran
for build in win64 win32; do
  cmake --preset "$build" >/dev/null
  cmake --build --preset "$build" -j "$jobs"
done
ran[win64]="ran"
windows_tests win64 || status=1
if tarnbell_runs_32bit; then
  ran[win32]="ran"
  windows_tests win32 || status=1
else
  ran[win32]="not run: $(tarnbell_no_32bit_reason)"
fi

cat build/kill-summary.log 2>/dev/null || true
echo "Format: $format"
echo "Fuzz run: $fuzz"
echo "64-bit Windows tests: ${ran[win64]}"
echo "32-bit Windows tests: ${ran[win32]}"
# One closing line with the counts of every run.
summary=$({ grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" || true; } |
  sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/' |
  awk '{ failed += $1; total += $2 } END { printf "%d passed, %d failed", total - failed, failed }')
echo "Tests: $summary"
exit $status
