#!/usr/bin/env bash
# The set-up's decisions, with stand-ins for apt-get, dpkg and the kernel's
# answer to a 32-bit program: a package index that fails to download once,
# 32-bit Wine that cannot be installed, and a needed package that cannot.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # WHAT CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

mkdir -p "$work/bin"
cat > "$work/bin/apt-get" <<'STANDIN'
#!/bin/sh
echo "apt-get $*" >> "$STATE/calls"
[ "$1" = update ] || shift 4  # install -y -qq --no-install-recommends
case "$1" in
  update)
    left=$(cat "$STATE/update-failures")
    if [ "$left" -gt 0 ]; then
      echo $((left - 1)) > "$STATE/update-failures"
      echo "E: Some index files failed to download." >&2; exit 100
    fi ;;
  *)
    for p in "$@"; do
      if grep -qx "$p" "$STATE/uninstallable"; then
        echo "Some packages could not be installed."
        echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
      fi
    done
    printf '%s\n' "$@" >> "$STATE/installed" ;;
esac
STANDIN
cat > "$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
for p; do :; done
grep -qx "$p" "$STATE/installed" && printf 'install ok installed'
STANDIN
cat > "$work/bin/dpkg" <<'STANDIN'
#!/bin/sh
echo "dpkg $*" >> "$STATE/calls"
case "$1" in
  --print-foreign-architectures) cat "$STATE/architectures" ;;
  --add-architecture) echo "$2" >> "$STATE/architectures" ;;
esac
STANDIN
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*

run_setup() {  # KERNEL_RUNS_32BIT UPDATE_FAILURES UNINSTALLABLE...
  export STATE="$work/state-$RANDOM"
  mkdir -p "$STATE" "$STATE/repo/scripts"
  cp "$source_dir/scripts/setup.sh" "$STATE/repo/scripts/"
  printf '#!/bin/sh\nexit %d\n' $((1 - $1)) > "$STATE/repo/scripts/runs-32bit.sh"
  chmod +x "$STATE/repo/scripts/runs-32bit.sh"
  echo "$2" > "$STATE/update-failures"
  shift 2
  printf '%s\n' "$@" > "$STATE/uninstallable"
  : > "$STATE/installed"; : > "$STATE/architectures"; : > "$STATE/calls"
  PATH="$work/bin:$PATH" TARNBELL_APT_PAUSE=0 "$STATE/repo/scripts/setup.sh" \
    > "$STATE/out" 2> "$STATE/err"
}
has() { grep -q -- "$2" "$STATE/$1"; }

run_setup 1 1 wine32:i386
check "a failed index and no 32-bit Wine: the set-up still succeeds" [ $? -eq 0 ]
check "apt-get update is tried again" [ "$(grep -c 'apt-get update' "$STATE/calls")" -eq 2 ]
check "the 64-bit packages are installed" has installed '^wine64$'
check "the i386 architecture is added where the kernel runs 32-bit programs" \
  has architectures '^i386$'
check "the reason is kept for the test command" [ "$(cat "$STATE/repo/build/wine32-status")" = \
  "32-bit Wine could not be installed (wine32:i386: Unable to correct problems, you have held broken packages.)" ]
check "the reason is said" has err 'WARNING: 32-bit Wine could not be installed'

run_setup 0 0
check "no 32-bit kernel: the set-up succeeds" [ $? -eq 0 ]
check "no 32-bit kernel: no i386 architecture" bash -c "! grep -q add-architecture '$STATE/calls'"
check "no 32-bit kernel: no 32-bit Wine asked for" bash -c "! grep -q wine32 '$STATE/calls'"

run_setup 0 0 nsis
check "a needed package that cannot be installed fails the set-up" [ $? -eq 1 ]
check "it is named with apt's reason in one line" [ "$(cat "$STATE/err")" = \
  "setup: cannot install nsis: Unable to correct problems, you have held broken packages." ]

echo "$failures failed"
[ $failures -eq 0 ]
