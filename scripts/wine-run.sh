#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix; used by ctest.
set -u
. "$(dirname "$0")/wine-env.sh"
tarnbell_start_xvfb >/dev/null || exit 1
exec wine "$@"
