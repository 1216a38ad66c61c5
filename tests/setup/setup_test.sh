#!/usr/bin/env bash
# The set-up's decisions, with stand-ins for apt-get, dpkg and the kernel's
# answer to a 32-bit program: a package index that fails to download once,
# 32-bit Wine that cannot be installed, and a needed package that cannot.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }

mkdir -p "$work/bin"
cat > "$work/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >> "$STATE/calls"
if [ "$1" = update ]; then
  [ "$(cat "$STATE/update-failures")" -gt 0 ] || exit 0
  echo $(($(cat "$STATE/update-failures") - 1)) > "$STATE/update-failures"
  echo "E: Some index files failed to download." >&2; exit 100
fi
shift 4  # install -y -qq --no-install-recommends
for p; do
  grep -qx "$p" "$STATE/uninstallable" || continue
  echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
done
printf '%s\n' "$@" >> "$STATE/installed"
STANDIN
printf '#!/bin/sh\nfor p; do :; done\ngrep -qx "$p" "$STATE/installed" && printf "install ok installed"\n' \
  > "$work/bin/dpkg-query"
printf '#!/bin/sh\necho "dpkg $*" >> "$STATE/calls"\n[ "$1" = --add-architecture ] || cat "$STATE/architectures"\n' \
  > "$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*

run_setup() {  # KERNEL_RUNS_32BIT UPDATE_FAILURES UNINSTALLABLE...
  export STATE="$work/state-$1-$2-${3:-}"
  mkdir -p "$STATE/repo/scripts"
  cp "$source_dir/scripts/setup.sh" "$STATE/repo/scripts/"
  printf '#!/bin/sh\nexit %d\n' $((1 - $1)) > "$STATE/repo/scripts/runs-32bit.sh"
  chmod +x "$STATE/repo/scripts/runs-32bit.sh"
  echo "$2" > "$STATE/update-failures"
  shift 2
  printf '%s\n' "$@" > "$STATE/uninstallable"
  : > "$STATE/installed"; : > "$STATE/architectures"; : > "$STATE/calls"
  PATH="$work/bin:$PATH" TARNBELL_APT_PAUSE=0 "$STATE/repo/scripts/setup.sh" > /dev/null 2> "$STATE/err"
}

run_setup 1 1 wine32:i386
check "a failed index and no 32-bit Wine: the set-up succeeds" '[ $? -eq 0 ]'
check "apt-get update is tried again" '[ "$(grep -c "apt-get update" "$STATE/calls")" -eq 2 ]'
check "the 64-bit packages are installed" 'grep -qx wine64 "$STATE/installed"'
check "the i386 architecture is added where the kernel runs 32-bit programs" \
  'grep -q "add-architecture i386" "$STATE/calls"'
check "the reason is kept for the test command and said" \
  '[ "$(cat "$STATE/repo/build/wine32-status")" = "32-bit Wine could not be installed (wine32:i386: Unable to correct problems, you have held broken packages.)" ] &&
   grep -q "WARNING: 32-bit Wine could not be installed" "$STATE/err"'

run_setup 0 0
check "no 32-bit kernel: no i386 architecture, no 32-bit Wine" \
  '[ $? -eq 0 ] && ! grep -q "add-architecture\|wine32" "$STATE/calls"'

run_setup 0 0 nsis
check "a needed package that cannot be installed fails, named with apt's reason in one line" \
  '[ $? -eq 1 ] && [ "$(cat "$STATE/err")" = "setup: cannot install nsis: Unable to correct problems, you have held broken packages." ]'

echo "$failures failed"
[ $failures -eq 0 ]
