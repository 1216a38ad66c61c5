# Sourced with the Windows build to run, win32 or win64 (default: the 32-bit
# one where this machine can run it): a private Wine prefix for that build
# with an ALSA null sound device, and an X display (a private Xvfb when none
# is set).
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# True if this machine runs the 32-bit build: its kernel runs 32-bit
# programs and 32-bit Wine is installed.
tarnbell_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && "$repo_dir/scripts/runs-32bit.sh"
}

# Why the 32-bit build cannot run here, in one line.
tarnbell_no_32bit_reason() {
  if ! "$repo_dir/scripts/runs-32bit.sh"; then
    echo "this kernel cannot run 32-bit programs"
  elif [ -s "$repo_dir/build/wine32-status" ] && ! grep -qx ok "$repo_dir/build/wine32-status"; then
    cat "$repo_dir/build/wine32-status"
  else
    echo "32-bit Wine is not installed"
  fi
}

if [ -n "${1:-}" ]; then
  TARNBELL_BUILD=$1
elif [ -z "${TARNBELL_BUILD:-}" ]; then
  if tarnbell_runs_32bit; then TARNBELL_BUILD=win32; else TARNBELL_BUILD=win64; fi
fi
export TARNBELL_BUILD
case "$TARNBELL_BUILD" in
  win32) tarnbell_loader=/usr/lib/wine/wine ;;
  win64) tarnbell_loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-env: unknown build $TARNBELL_BUILD (win32 or win64)" >&2; return 1 ;;
esac
export WINEARCH=$TARNBELL_BUILD
export WINEDEBUG=-all
# TARNBELL_AUDIO=coreaudio: a prefix of its own whose Core Audio is the
# project's stand-in for Windows' audio service (tests/audiostandin) in
# place of Wine's, which cannot set a volume; any other value: Wine's own.
tarnbell_audio_suffix=
[ "${TARNBELL_AUDIO:-}" = coreaudio ] && tarnbell_audio_suffix=-coreaudio
export WINEPREFIX="${TARNBELL_WINEPREFIX:-$repo_dir/build/wineprefix-$TARNBELL_BUILD$tarnbell_audio_suffix}"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINELOADER=$tarnbell_loader
# Debian's "wine" command always picks the 32-bit loader once it is
# installed: a "wine" of this build's own comes first on the PATH, so that
# scripts, tests and Wine's own tools (wineboot) all run the right one.
tarnbell_winebin="$repo_dir/build/winebin-$TARNBELL_BUILD"
if [ ! -x "$tarnbell_winebin/wine" ]; then
  mkdir -p "$tarnbell_winebin"
  printf '#!/bin/sh\nexec %s "$@"\n' "$tarnbell_loader" > "$tarnbell_winebin/wine"
  chmod +x "$tarnbell_winebin/wine"
  ln -sf wine "$tarnbell_winebin/wine-stable"
fi
case ":$PATH:" in
  *":$tarnbell_winebin:"*) ;;
  *) export PATH="$tarnbell_winebin:$PATH" ;;
esac

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
    wine wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # A prefix made by 64-bit Wine alone gets no fonts (its set-up cannot run
  # the 32-bit half): without Wine's own "MS Sans Serif" every face becomes
  # DejaVu Sans and the window's labels are cut.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ ! -f "$fonts/sserife.fon" ]; then
    mkdir -p "$fonts"
    cp -n /usr/share/wine/fonts/* "$fonts/"
  fi
  # Windows has "Microsoft Sans Serif", the TrueType face the window's text
  # takes at scales the bitmap "MS Sans Serif" has no size for. Wine has
  # none, and would draw the wider DejaVu Sans: Wine's own Tahoma stands in.
  if ! grep -q '"Microsoft Sans Serif"="Tahoma"' "$WINEPREFIX/system.reg" 2>/dev/null; then
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'Microsoft Sans Serif' /d Tahoma /f >/dev/null 2>&1
    wineserver -w
  fi
}

# In the Core Audio prefix: registers the stand-in of the build's programs
# (folder $1) as Windows' audio classes. Every run, because Wine puts its own
# back whenever it updates the prefix (wineboot -u).
tarnbell_install_audio_standin() {
  [ "${TARNBELL_AUDIO:-}" = coreaudio ] || return 0
  tarnbell_init_prefix >/dev/null || return 1
  if ! wine "$1/audioctl.exe" install >/dev/null 2>&1; then
    echo "wine-env: could not register the audio stand-in of $1" >&2
    return 1
  fi
}
