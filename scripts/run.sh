#!/usr/bin/env bash
# Sets up a fresh machine, builds the Windows program this machine can run
# (the 32-bit one where the kernel runs 32-bit programs, else the 64-bit
# one) and starts Tarnbell under Wine: on the current X display, or on a
# private Xvfb, where it opens the window from the tray icon and prints
# the paths of two screenshots: the tray icon and the window.
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
  echo "Running the 64-bit build (build/win64/bin) under 64-bit Wine: $(tarnbell_no_32bit_reason)."
fi
echo "Tarnbell lives in the notification area: with no desktop tray, Wine shows"
echo "its icon in a small window named \"Wine System Tray\"; click it to open the window."
wine "build/$build/bin/Tarnbell.exe" &
pid=$!
# Waits up to 20 s for a visible X window with this exact name.
wait_window() {
  local i
  for i in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 | grep . && return 0
    sleep 0.2
  done
  return 1
}
if [ $own_display -eq 1 ]; then
  echo "No display was set: Tarnbell runs on Xvfb $DISPLAY."
  if tray=$(wait_window "Wine System Tray"); then
    sleep 1  # the icon is drawn after the tray window appears
    shot="$PWD/build/tarnbell-tray.png"
    import -window root "$shot" && echo "Screenshot of the tray icon: $shot"
    # A click on the icon, the tray's only one, opens the window.
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    xdotool mousemove $((X + HEIGHT / 2)) $((Y + HEIGHT / 2))
    sleep 0.5
    xdotool click 1
    if wait_window Tarnbell >/dev/null; then
      sleep 1
      shot="$PWD/build/tarnbell-window.png"
      import -window root "$shot" && echo "Screenshot of the window: $shot"
    fi
  fi
fi
wait $pid
