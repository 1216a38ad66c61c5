#!/usr/bin/env bash
# Builds the 32-bit and the 64-bit Windows program and writes the downloads
# to dist/: for each, a zip with one folder "Tarnbell" (unzip anywhere
# writable and run) and a per-user installer made with NSIS. The zips are
# checked to hold exactly the shipped files, of the right processor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-only
version=$(sed -n 's/^project(Tarnbell VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

mkdir -p dist
rm -f dist/Tarnbell-*
for build in win32 win64; do
  cmake --preset "$build" >/dev/null
  cmake --build --preset "$build" -j "$(nproc)" --target tarnbell_package
  cp "build/$build/dist/Tarnbell-$version-$build.zip" "build/$build/dist/Tarnbell-$version-$build-setup.exe" dist/
done
(cd tests/package && PYTHONPATH="$OLDPWD/tests/support" TARNBELL_DIST="$OLDPWD/dist" TARNBELL_VERSION="$version" \
  python3 -m unittest -q test_installer.Zips)
ls -l dist/
