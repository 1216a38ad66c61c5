#!/usr/bin/env bash
# Installs what building and testing Tarnbell needs, from Debian's packages.
# Quick when everything is already there.
set -euo pipefail

packages=(cmake make g++ googletest libbenchmark-dev
          g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
          wine wine64 wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick fp-utils nsis python3
          clang clang-format libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_ dpkg --add-architecture i386
fi
$sudo_ apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
