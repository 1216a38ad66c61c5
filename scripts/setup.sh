#!/usr/bin/env bash
# Installs what building and testing Tarnbell needs, from Debian's packages.
# Quick when everything is already there. With --build-only: only what
# building and packaging need (no Wine, no X server).
#
# 32-bit Wine is asked for only where this kernel runs 32-bit programs, and
# only as an extra: when it cannot be installed (its i386 libraries must match
# the installed 64-bit ones, so one index that fails to download is enough),
# the reason is kept in build/wine32-status and the 64-bit suites still run.
set -euo pipefail
repo_dir=$(cd "$(dirname "$0")/.." && pwd)
status_file="$repo_dir/build/wine32-status"
update_tries=${TARNBELL_APT_TRIES:-3}
update_pause=${TARNBELL_APT_PAUSE:-10}

build_packages=(cmake make g++ googletest libbenchmark-dev python3
                g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
                g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
                fp-utils nsis clang clang-format libclang-rt-14-dev)
wine_packages=(wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick)
wine32_package=wine32:i386

packages=("${build_packages[@]}")
want_wine32=0
if [ "${1:-}" != --build-only ]; then
  packages+=("${wine_packages[@]}")
  if "$repo_dir/scripts/runs-32bit.sh"; then want_wine32=1; fi
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ $want_wine32 -eq 1 ] && installed "$wine32_package"; then
  mkdir -p "$(dirname "$status_file")"
  echo ok > "$status_file"
  want_wine32=0
fi
[ ${#missing[@]} -eq 0 ] && [ $want_wine32 -eq 0 ] && exit 0

sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"
apt_install() { DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "$@"; }
# apt's own words for why a package cannot be installed: its last error line.
apt_reason() { grep -E '^E: |held broken|Depends:' | tail -1 | sed -E 's/^E: //; s/^ +//'; }

if [ $want_wine32 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_ dpkg --add-architecture i386
fi
wanted=("${missing[@]}")
[ $want_wine32 -eq 1 ] && wanted+=("$wine32_package")
echo "setup: installing ${wanted[*]}"

# A mirror being synced answers one index with the wrong size for a while:
# apt-get update then fails as a whole although every other index is fresh.
# Try a few times, then go on with the indexes there are.
update_failure=""
for try in $(seq "$update_tries"); do
  if out=$($sudo_ apt-get update -qq 2>&1); then update_failure=""; break; fi
  echo "$out" >&2
  # Which index failed, without the mirror's address.
  update_failure=$(grep -m1 -E '^E: Failed to fetch' <<< "$out" |
    sed -E 's|^E: Failed to fetch [^ ]*/dists/([^ ]*) +([^.]*).*|\1: \2|') || true
  if [ "$try" -lt "$update_tries" ]; then
    echo "setup: apt-get update failed (try $try of $update_tries); again in ${update_pause} s"
    sleep "$update_pause"
  else
    echo "setup: apt-get update failed $update_tries times; going on with the package lists there are"
  fi
done

if [ ${#missing[@]} -gt 0 ] && ! apt_install "${missing[@]}" > /dev/null 2>&1; then
  # Name the first package that cannot be installed, and apt's reason.
  for p in "${missing[@]}"; do
    installed "$p" && continue
    if ! out=$(apt_install "$p" 2>&1); then
      echo "setup: cannot install $p: $(apt_reason <<< "$out")" >&2
      exit 1
    fi
  done
fi

if [ $want_wine32 -eq 1 ]; then
  mkdir -p "$(dirname "$status_file")"
  if out=$(apt_install "$wine32_package" 2>&1); then
    echo ok > "$status_file"
  else
    reason="32-bit Wine could not be installed ($wine32_package: $(apt_reason <<< "$out"))"
    [ -z "$update_failure" ] || reason+="; an index did not download: $update_failure"
    echo "$reason" > "$status_file"
    echo "setup: WARNING: $reason; the 32-bit Windows tests will not run" >&2
  fi
fi
