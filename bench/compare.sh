#!/bin/bash
# compare.sh -- renders the same XM files to WAV with xmplay, openmpt123 and xmp, all with
# linear interpolation at 44100 Hz, 16-bit stereo, and prints seconds of audio per CPU second
# of the whole process (median of RUNS runs), the peak resident memory, and xmplay's ratios.
#
#   bench/compare.sh [BUILD_DIR [FILE.xm...]]   BUILD_DIR defaults to build
#
# XMPLAY=path measures another xmplay binary; RUNS=n changes the 7 runs; RULES=ft2|show
# passes --rules to xmplay (its default is FT2's). The files are the demo's song, the modules
# bench_modules writes (4 and 32 channels; chip loops, the Amiga table, speed 3) and any given.
set -euo pipefail

case "${1:-}" in
-h | --help)
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
  ;;
esac

build=${1:-build}
shift || true
xmplay=${XMPLAY:-$build/tools/xmplay/xmplay}
runs=${RUNS:-7}
rules=${RULES:+--rules $RULES}
for extra in "$@"; do
  if [ ! -f "$extra" ]; then
    echo "compare.sh: $extra not found" >&2
    exit 1
  fi
done
for program in "$xmplay" "$build/bench/bench_modules"; do
  if [ ! -x "$program" ]; then
    echo "compare.sh: $program not found (build it first: cmake --build $build --target xmplay bench_modules)" >&2
    exit 1
  fi
done
if [ ! -f "$build/assets/quorbela.xm" ]; then
  echo "compare.sh: $build/assets/quorbela.xm not found (build the assets first)" >&2
  exit 1
fi
for program in xmp openmpt123 python3 /usr/bin/time; do
  if ! command -v "$program" >/dev/null; then
    echo "compare.sh: $program not found (apt-get install -y xmp openmpt123 python3 time)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/assets/quorbela.xm" "$work/"
"$build/bench/bench_modules" "$work"
files="quorbela narrow4 wide32 chip8 amiga8 fast10"
for extra in "$@"; do
  name=$(basename "$extra" .xm)
  cp "$extra" "$work/$name.xm"
  files="$files $name"
done

# Runs a command and prints its CPU seconds (user + system, whole process) and its peak
# resident memory in kB. GNU time reports the memory: a child forked from Python would carry
# Python's own peak across exec. The CPU time comes from the kernel's count for time and the
# command it waited for, to the microsecond (time itself costs well under a millisecond).
measure() {
  python3 -c '
import os, subprocess, sys
memory = sys.argv[1]
child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", memory] + sys.argv[2:],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, usage = os.wait4(child.pid, 0)
if status != 0:
    sys.exit("compare.sh: failed: " + " ".join(sys.argv[2:]))
print("%.6f %s" % (usage.ru_utime + usage.ru_stime, open(memory).read().split()[-1]))
' "$work/memory" "$@"
}

# Seconds of audio in a WAV file.
wav_seconds() {
  python3 -c '
import sys, wave
with wave.open(sys.argv[1]) as w:
    print("%.3f" % (w.getnframes() / w.getframerate()))
' "$1"
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# render PLAYER FILE OUT: the command line for one player.
render() {
  case "$1" in
  xmplay) echo "$xmplay $rules --wav $3 $2" ;;
  openmpt123) echo "openmpt123 -q --render --force --samplerate 44100 --no-float --filter 2 $2" ;;
  xmp) echo "xmp --norc -q -i linear -o $3 $2" ;;
  esac
}

printf '%-12s %-11s %8s %9s %11s %9s\n' file player audio_s cpu_s audio/cpu peak_MB
declare -A rate
for file in $files; do
  for player in xmplay openmpt123 xmp; do
    input="$work/$file.xm"
    out="$work/$file.$player.wav"
    if [ "$player" = openmpt123 ]; then
      # openmpt123 writes its render beside the module, under the module's name.
      input="$work/$file.openmpt123.xm"
      cp "$work/$file.xm" "$input"
      out="$input.wav"
    fi
    : >"$work/runs"
    for _ in $(seq "$runs"); do
      # shellcheck disable=SC2046
      measure $(render "$player" "$input" "$out") >>"$work/runs"
    done
    cpu=$(cut -d' ' -f1 "$work/runs" | median)
    peak=$(cut -d' ' -f2 "$work/runs" | sort -n | tail -1)
    audio=$(wav_seconds "$out")
    rate[$file.$player]=$(awk -v a="$audio" -v c="$cpu" 'BEGIN { printf "%.0f", a / c }')
    printf '%-12s %-11s %8.1f %9.4f %11s %9.1f\n' "$file" "$player" "$audio" "$cpu" "${rate[$file.$player]}" \
      "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
    rm -f "$out"
  done
done
echo
printf '%-12s %14s %21s\n' file xmplay/xmp xmplay/openmpt123
for file in $files; do
  awk -v f="$file" -v x="${rate[$file.xmplay]}" -v p="${rate[$file.xmp]}" -v o="${rate[$file.openmpt123]}" \
    'BEGIN { printf "%-12s %13.2fx %20.2fx\n", f, x / p, x / o }'
done
