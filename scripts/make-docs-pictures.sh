#!/usr/bin/env bash
# Regenerates the README's pictures in docs/ from an end-to-end run: the real
# Tarnbell.exe under Wine and Xvfb, clicked with xdotool and photographed by
# the tray and About tests. Xvfb has no window manager, so windows show no
# title bars; the build is the one this machine runs. The tray images are 16 x 16 pixels: shown four times as large.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

. scripts/wine-env.sh
cmake --preset "$TARNBELL_BUILD" >/dev/null
cmake --build --preset "$TARNBELL_BUILD" --target Tarnbell TarnMixer tbdriver tarnbell_help
tarnbell_start_xvfb
tarnbell_init_prefix

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
(cd tests/e2e && PYTHONPATH="$repo/tests/support" TARNBELL_BIN="$repo/build/$TARNBELL_BUILD/bin" \
  TARNBELL_ARTIFACTS="$shots" \
  python3 -m unittest tarnbell_tray_e2e.TrayClicks tarnbell_tray_e2e.TrayImage \
    tarnbell_tray_e2e.TrayTooltip tarnbell_tray_e2e.AboutWindow tarnbell_tray_e2e.DisplayScale \
    tarnbell_tray_e2e.TrayMicrophone \
    tarnbell_e2e.LevelOnScreen)

mkdir -p docs
cp "$shots/main-window.png" "$shots/about-window.png" "$shots/tray-tooltip.png" \
  "$shots/level-display.png" docs/
cp "$shots/main-window-144.png" docs/main-window-150.png
cp "$shots/main-window-192.png" docs/main-window-200.png
for name in tray-normal tray-muted; do
  convert "$shots/$name.png" -scale 400% "docs/$name.png"
done
convert "$shots/tray-both-icons.png" -crop 40x20+0+0 +repage -scale 400% docs/tray-microphone.png
# Stored without time stamps, so that an unchanged picture stays unchanged.
for picture in docs/main-window.png docs/main-window-150.png docs/main-window-200.png \
    docs/about-window.png docs/tray-tooltip.png docs/tray-normal.png docs/tray-muted.png \
    docs/tray-microphone.png \
    docs/level-display.png; do
  mogrify -strip -define png:exclude-chunks=date,time "$picture"
done
ls -l docs/*.png
