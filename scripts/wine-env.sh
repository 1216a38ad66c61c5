# Sourced: a private 32-bit Wine prefix with an ALSA null sound device, and an
# X display (a private Xvfb when none is set).
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEARCH=win32
export WINEDEBUG=-all
export WINEPREFIX="${TARNBELL_WINEPREFIX:-$repo_dir/build/wineprefix}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine finds its sound through ALSA; the null PCM gives it one playback and
# one capture device on machines without a sound card.
export TARNBELL_WINEHOME="$repo_dir/build/winehome"
mkdir -p "$TARNBELL_WINEHOME"
if [ ! -f "$TARNBELL_WINEHOME/.asoundrc" ]; then
  printf 'pcm.!default {\n  type null\n}\n' > "$TARNBELL_WINEHOME/.asoundrc"
fi
export HOME="$TARNBELL_WINEHOME"

# The project's Xvfb is shared by every run and started only once.
tarnbell_start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local state="$repo_dir/build/xvfb-display"
  if [ -f "$state" ] && xdpyinfo -display "$(cat "$state")" >/dev/null 2>&1; then
    export DISPLAY="$(cat "$state")"
    return 0
  fi
  # Xvfb picks a free display number itself and writes it to its output.
  mkdir -p "$repo_dir/build"
  : > "$state.new"
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp > "$state.new" 2>/dev/null &
  local i
  for i in $(seq 100); do
    if [ -s "$state.new" ]; then
      export DISPLAY=":$(tr -d '[:space:]' < "$state.new")"
      if xdpyinfo >/dev/null 2>&1; then
        echo "$DISPLAY" > "$state"
        rm -f "$state.new"
        return 0
      fi
    fi
    sleep 0.1
  done
  echo "wine-env: could not start Xvfb" >&2
  return 1
}

tarnbell_init_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: creating Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}
