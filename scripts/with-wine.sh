#!/usr/bin/env bash
# Runs a command in the Wine set-up of one Windows build (win32 or win64):
# its prefix, its "wine" first on the PATH, the X display. Used by ctest:
#   with-wine.sh BUILD wine PROGRAM.exe [ARGS]
#   with-wine.sh BUILD python3 -m unittest ...
# With TARNBELL_AUDIO=coreaudio it runs in the prefix whose Core Audio is
# the project's stand-in, registered from TARNBELL_BIN first.
set -u
. "$(dirname "$0")/wine-env.sh" "$1"
shift
tarnbell_start_xvfb >/dev/null || exit 1
tarnbell_install_audio_standin "${TARNBELL_BIN:-$repo_dir/build/$TARNBELL_BUILD/bin}" || exit 1
exec "$@"
