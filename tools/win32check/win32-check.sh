#!/bin/bash
# win32-check.sh -- the Windows programs under Wine on a virtual X display
#
#   win32-check.sh [NATIVE_BUILD [WIN32_BUILD]]     (make win32-check runs it)
#
# 1. xmplay.exe --wav renders the demo's song; the WAV must equal the native build's byte for
#    byte.
# 2. xmplay.exe plays two seconds live, to see whether wave-out opens (Wine's ALSA driver is
#    pointed at ALSA's null device, so a machine without a sound card still has one).
# 3. quorbela.exe runs twice, with Escape held from outside (xdotool) after a few seconds:
#    in a Wine virtual desktop, which can switch to 320 x 200 x 16, and on the bare X screen,
#    which cannot. Either the show runs and exits 0, or the display refuses the mode, the
#    error box shows the message and the program exits 0. Which one happened is printed, and
#    a screenshot of the display is taken while the program runs.
#
# Exit code 0 when every step passed. Screenshots, WAVs and logs go to WIN32_BUILD/check.
#
# Every step runs in CI as well (root, no terminal, no display, no sound card): Xvfb is started
# here, and the null ALSA device stands in for the card. The one thing a bare X screen cannot
# give is the 320 x 200 x 16 mode, which is why the show runs in the virtual desktop too.
set -u

native=${1:-build}
win=${2:-build-win32}
check_dir="$win/check"
caption="MORVA Q-ENGINE V2.2"
show_seconds=${WIN32_CHECK_SECONDS:-10}

say() { printf 'win32-check: %s\n' "$*"; }
fail() { say "FAILED: $*"; failures=$((failures + 1)); }
failures=0

install_tools() {
  local packages=(wine wine32:i386 xvfb xauth xdotool imagemagick)
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" != 0 ]; then
    say "missing packages; run: sudo dpkg --add-architecture i386 && sudo apt-get update &&" \
        "sudo apt-get install -y ${missing[*]}"
    exit 1
  fi
  say "installing: ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null \
    || { say "cannot install ${missing[*]}"; exit 1; }
}

# One run of quorbela.exe on the current X display. $1: label, then the Wine command line.
run_show() {
  local label=$1
  shift
  local log="$check_dir/quorbela-$label.log" shot="$check_dir/quorbela-$label.png"
  wine "$@" >"$log" 2>&1 &
  local pid=$!
  sleep "$show_seconds"
  import -window root "$shot" 2>/dev/null || say "$label: no screenshot"
  # Held down, Escape runs the show out; on the error box it answers the box.
  xdotool keydown Escape
  sleep 3
  xdotool keyup Escape
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 60 ]; do
    sleep 1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    fail "$label: quorbela.exe still runs a minute after Escape"
    kill "$pid" 2>/dev/null
    wineserver -k 2>/dev/null
    return
  fi
  wait "$pid"
  local code=$?
  local message
  message=$(grep -a "^$caption: " "$log" | head -1 | sed "s/^$caption: //" | tr -d '\r')
  if [ -n "$message" ]; then
    say "$label: the display refused the mode; the box said \"$message\"; exit code $code; screenshot $shot"
  else
    say "$label: the show ran (mode 320 x 200 x 16 granted) and ended on Escape; exit code $code; screenshot $shot"
  fi
  [ "$code" = 0 ] || fail "$label: exit code $code"
  wineserver -w 2>/dev/null
}

# Everything that needs the X display.
inside_display() {
  say "X display $DISPLAY"
  # The desktop explorer comes up slowly the first time; let it settle before timing runs.
  wineboot -u >/dev/null 2>&1
  run_show virtual-desktop explorer /desktop=quorbela,640x480 "$win/quorbela.exe"
  run_show bare-screen "$win/quorbela.exe"
  return $failures
}

if [ "${1:-}" = "--inside-display" ]; then
  shift
  native=$1 win=$2 check_dir="$win/check"
  inside_display
  exit $?
fi

install_tools
for program in "$win/xmplay.exe" "$win/quorbela.exe" "$native/tools/xmplay/xmplay"; do
  [ -x "$program" ] || { say "$program is not built (make win32 and make build first)"; exit 1; }
done
song="$win/assets/quorbela.xm"
[ -f "$song" ] || { say "$song is missing"; exit 1; }
mkdir -p "$check_dir"

export WINEPREFIX
WINEPREFIX="$(cd "$win" && pwd)/wine"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A null ALSA device: wave-out opens and its position moves at the real rate without a card.
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$check_dir/asound.conf"
export ALSA_CONFIG_PATH
ALSA_CONFIG_PATH="$(cd "$check_dir" && pwd)/asound.conf"

say "Wine $(wine --version 2>/dev/null), prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1

# 1. The same song, byte for byte.
"$native/tools/xmplay/xmplay" --wav "$check_dir/song-linux.wav" "$song" 2>/dev/null \
  || fail "native xmplay --wav"
wine "$win/xmplay.exe" --wav "$check_dir/song-win32.wav" "$song" >"$check_dir/xmplay-wav.log" 2>&1 \
  || fail "xmplay.exe --wav (see $check_dir/xmplay-wav.log)"
if cmp -s "$check_dir/song-linux.wav" "$check_dir/song-win32.wav"; then
  say "WAV: xmplay.exe and the native xmplay wrote the same $(stat -c %s "$check_dir/song-win32.wav") bytes"
else
  fail "WAV: xmplay.exe's WAV differs from the native build's ($(cmp "$check_dir/song-linux.wav" "$check_dir/song-win32.wav" 2>&1))"
fi

# 2. Live sound through wave-out.
if wine "$win/xmplay.exe" --seconds 2 "$song" >"$check_dir/xmplay-play.log" 2>&1; then
  say "sound: wave-out opened and played 2 s (ALSA null device under Wine)"
else
  say "sound: wave-out did not open: $(grep -a 'xmplay:' "$check_dir/xmplay-play.log" | head -1)"
fi

# 3. The show, on a virtual X display.
xvfb-run -a -s "-screen 0 640x480x24" "$0" --inside-display "$native" "$win"
display_failures=$?
failures=$((failures + display_failures))
wineserver -k 2>/dev/null

if [ $failures -eq 0 ]; then
  say "passed"
else
  say "$failures step(s) failed"
fi
[ $failures -eq 0 ]
