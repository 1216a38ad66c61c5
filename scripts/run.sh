#!/usr/bin/env bash
# Sets up a fresh machine, builds the Windows program this machine can run
# (the 32-bit one where the kernel runs 32-bit programs, else the 64-bit
# one) and starts Tarnbell under Wine: on the current X display, or on a
# private Xvfb whose screenshot path is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
own_display=0
if [ -z "${DISPLAY:-}" ]; then own_display=1; fi
. scripts/wine-env.sh
build=$TARNBELL_BUILD
cmake --preset "$build" >/dev/null
cmake --build --preset "$build" -j "$(nproc)"
tarnbell_start_xvfb
tarnbell_init_prefix
if [ "$build" = win32 ]; then
  echo "Running the 32-bit build (build/win32/bin) under 32-bit Wine."
else
  echo "Running the 64-bit build (build/win64/bin) under 64-bit Wine: this kernel cannot run 32-bit programs."
fi
echo "Tarnbell lives in the notification area: with no desktop tray, Wine shows"
echo "its icon in a small window named \"Wine System Tray\"; click it to open the window."
wine "build/$build/bin/Tarnbell.exe" &
pid=$!
if [ $own_display -eq 1 ]; then
  sleep 5
  shot="$PWD/build/tarnbell-screen.png"
  import -window root "$shot" && echo "No display was set: Tarnbell runs on Xvfb $DISPLAY; screenshot: $shot"
fi
wait $pid
