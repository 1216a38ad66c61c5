#!/usr/bin/env bash
# Runs a command in the Wine set-up of one Windows build (win32 or win64):
# its prefix, its "wine" first on the PATH, the X display. Used by ctest:
#   with-wine.sh BUILD wine PROGRAM.exe [ARGS]
#   with-wine.sh BUILD python3 -m unittest ...
set -u
. "$(dirname "$0")/wine-env.sh" "$1"
shift
tarnbell_start_xvfb >/dev/null || exit 1
exec "$@"
