#!/bin/bash
# dist-check.sh -- the release archives unpacked into empty folders and used as a user would
#
#   dist-check.sh NATIVE_BUILD WIN32_BUILD WEB_SITE DIST     (make dist-check runs it)
#
# - SHA256SUMS covers every archive in DIST and each sum holds.
# - Each archive holds what it should, the README with the version and the warning.
# - Linux: the unpacked xmplay's WAV of the unpacked song equals the build's; the programs
#   need no library beyond the C and C++ runtimes and SDL2; the show starts on a virtual X
#   display and ends on Escape held.
# - Windows: the unpacked xmplay.exe's WAV under Wine equals the build's, and the show starts
#   and ends on Escape held (when Wine is here).
# - Browser: the zip holds the site folder, both pages and every file they name (when there
#   is a browser build).
# - Source: the archive holds the committed tree, and built from it in another folder the
#   programs come out byte for byte as the builds the archives were made from (when the
#   working tree is the commit; DIST_CHECK_REBUILD=0 leaves this out).
# - dist.sh again, under another umask and time zone, gives the same bytes.
#
# Work folders: NATIVE_BUILD/dist-check. DIST_CMAKE_ARGS is passed to the rebuild's cmake.
set -u

# On the virtual display: the show started from its folder (quorbela, or quorbela.exe in a
# Wine virtual desktop, which grants its display mode), Escape held from outside after a few
# seconds. The wait after Escape only guards against a hang.
run_show() {
  local dir=$1
  if [ -f "$dir/quorbela.exe" ]; then
    (cd "$dir" && exec wine explorer /desktop=quorbela,640x480 quorbela.exe) &
  else
    (cd "$dir" && SDL_AUDIODRIVER=dummy exec ./quorbela) &
  fi
  local pid=$! waited=0
  sleep 5
  kill -0 $pid 2>/dev/null || { wait $pid; echo "the show ended before Escape (exit code $?)"; return 1; }
  xdotool keydown Escape
  while kill -0 $pid 2>/dev/null && [ $waited -lt 60 ]; do
    sleep 1
    waited=$((waited + 1))
  done
  xdotool keyup Escape
  if kill -0 $pid 2>/dev/null; then
    kill $pid
    echo "the show still runs a minute after Escape"
    return 1
  fi
  wait $pid
}

if [ "${1:-}" = "--show" ]; then
  run_show "$2"
  exit $?
fi

# show LABEL DIR: run_show on a virtual X display of its own.
show() {
  local label=$1 dir=$2 code
  if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
    skip "$label-show" "the unpacked $label show (xvfb-run and xdotool are not installed)"
    return
  fi
  xvfb-run -a -s "-screen 0 640x480x24" "$0" --show "$dir" >"$work/$label-show.log" 2>&1
  code=$?
  if [ $code = 0 ]; then
    pass "the unpacked $label show starts on a virtual X display and ends on Escape held"
  else
    fail "the unpacked $label show: exit code $code ($(tail -1 "$work/$label-show.log"))"
  fi
}

if [ $# -ne 4 ]; then
  echo "usage: dist-check.sh NATIVE_BUILD WIN32_BUILD WEB_SITE DIST" >&2
  exit 2
fi
native=$(cd "$1" && pwd) win=$(cd "$2" && pwd) web=$(realpath -m "$3") dist=$(cd "$4" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
work=$native/dist-check

passed=0 failed=0 skipped=()
say() { printf 'dist-check: %s\n' "$*"; }
pass() { say "ok: $*"; passed=$((passed + 1)); }
fail() { say "FAILED: $*"; failed=$((failed + 1)); }
skip() { say "skipped: $2"; skipped+=("$1"); }

version=$("$native/tools/xmplay/xmplay" --version | sed -n 's/^xmplay //p')
warning=$("$native/tools/quorbela/quorbela" --help | sed -n 's/^\(Photosensitivity warning: [^.]*\.\).*/\1/p')
win_zip=$dist/quorbela-$version-win32.zip
linux_tar=$dist/quorbela-$version-linux-x86_64.tar.gz
web_zip=$dist/quorbela-$version-web.zip
src_tar=$dist/quorbela-player-$version-src.tar.gz

rm -rf "$work"
mkdir -p "$work"
# fresh FOLDER: an empty folder under the work folder
fresh() { rm -rf "${work:?}/$1"; mkdir -p "$work/$1"; echo "$work/$1"; }

# The song as the build renders it: what every unpacked player must write.
reference=$work/reference.wav
"$native/tools/xmplay/xmplay" --wav "$reference" "$native/assets/quorbela.xm" 2>/dev/null \
  || fail "the build's xmplay --wav"

# --- the sums -------------------------------------------------------------------------------
check_sums() {
  local listed present
  listed=$(awk '{print $2}' "$dist/SHA256SUMS" | LC_ALL=C sort)
  present=$(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort)
  if [ "$listed" != "$present" ]; then
    fail "SHA256SUMS lists [$(echo $listed)], the folder holds [$(echo $present)]"
  elif ! (cd "$dist" && sha256sum --quiet -c SHA256SUMS); then
    fail "SHA256SUMS: a sum does not hold"
  else
    pass "SHA256SUMS covers the $(echo "$listed" | wc -l) archives and every sum holds"
  fi
}

# --- what each archive holds ----------------------------------------------------------------
# expect_files LABEL LISTING EXPECTED...: LISTING (one name a line) is exactly EXPECTED.
expect_files() {
  local label=$1 listing=$2
  shift 2
  local expected
  expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
  if [ "$(echo "$listing" | LC_ALL=C sort)" = "$expected" ]; then
    pass "$label holds $(echo $expected)"
  else
    fail "$label holds [$(echo $listing)], not [$(echo $expected)]"
  fi
}

# check_readme LABEL FILE: the version, the warning and no unfilled field.
check_readme() {
  local label=$1 file=$2
  if ! head -1 "$file" | grep -q "QUORBELA $version"; then
    fail "$label README.txt does not name version $version"
  elif [ -z "$warning" ] || ! tr -d '\r' <"$file" | grep -qxF "$warning"; then
    fail "$label README.txt lacks the photosensitivity warning quorbela --help prints"
  elif grep -q '@[A-Z]*@' "$file"; then
    fail "$label README.txt has an unfilled field: $(grep -o '@[A-Z]*@' "$file" | head -1)"
  else
    pass "$label README.txt names $version and carries the warning"
  fi
}

# --- Linux ----------------------------------------------------------------------------------
check_linux() {
  local dir name=quorbela-$version-linux-x86_64
  dir=$(fresh linux)
  tar -xzf "$linux_tar" -C "$dir" || { fail "$linux_tar does not unpack"; return; }
  expect_files "the Linux archive" "$(cd "$dir" && find . -printf '%P\n' | sed '/^$/d')" \
    "$name" "$name/README.txt" "$name/quorbela" "$name/quorbela.xm" "$name/xmplay"
  dir=$dir/$name
  check_readme Linux "$dir/README.txt"

  # Nothing a Debian-family machine with SDL2 lacks: no libpng, no test or benchmark library.
  local allowed=" libSDL2-2.0.so.0 libstdc++.so.6 libm.so.6 libgcc_s.so.1 libc.so.6 ld-linux-x86-64.so.2 "
  local program library bad=""
  for program in quorbela xmplay; do
    for library in $(objdump -p "$dir/$program" | awk '$1 == "NEEDED" {print $2}'); do
      case "$allowed" in *" $library "*) ;; *) bad="$bad $program:$library" ;; esac
    done
  done
  if [ -z "$bad" ]; then
    pass "the Linux programs need only the C and C++ runtimes and SDL2"
  else
    fail "the Linux programs need more than the C and C++ runtimes and SDL2:$bad"
  fi

  if (cd "$dir" && ./xmplay --wav song.wav quorbela.xm 2>/dev/null) && cmp -s "$dir/song.wav" "$reference"; then
    pass "the unpacked xmplay writes the build's WAV of the song ($(stat -c %s "$reference") bytes)"
  else
    fail "the unpacked xmplay's WAV differs from the build's"
  fi

  show Linux "$dir"
}

# --- Windows --------------------------------------------------------------------------------
check_win32() {
  local dir
  dir=$(fresh win32)
  unzip -q "$win_zip" -d "$dir" || { fail "$win_zip does not unpack"; return; }
  expect_files "the Windows archive" "$(cd "$dir" && find . -type f -printf '%P\n')" \
    README.txt quorbela.exe quorbela.xm xmplay.exe
  check_readme Windows "$dir/README.txt"
  if [ "$(grep -c $'\r$' "$dir/README.txt")" = "$(wc -l <"$dir/README.txt")" ]; then
    pass "the Windows README.txt has Windows line ends"
  else
    fail "the Windows README.txt has lines without a carriage return"
  fi
  if ! command -v wine >/dev/null; then
    skip "win32-wav" "xmplay.exe under Wine (Wine is not installed; make win32-check installs it)"
    return
  fi
  # The prefix make win32-check sets up, so Wine starts once per build folder.
  export WINEPREFIX=$win/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if (cd "$dir" && wine ./xmplay.exe --wav song.wav quorbela.xm >"$work/win32-wav.log" 2>&1) \
     && cmp -s "$dir/song.wav" "$reference"; then
    pass "the unpacked xmplay.exe under Wine writes the build's WAV of the song"
  else
    fail "the unpacked xmplay.exe's WAV under Wine differs from the build's (see $work/win32-wav.log)"
  fi
  show Windows "$dir"
  wineserver -k 2>/dev/null
}

# --- the browser ----------------------------------------------------------------------------
check_web() {
  if [ ! -f "$web/index.html" ]; then
    [ -f "$web_zip" ] && fail "$web_zip is there but no browser build is"
    skip "web" "the browser archive (no browser build)"
    return
  fi
  [ -f "$web_zip" ] || { fail "a browser build is there but $web_zip is not"; return; }
  local dir page reference missing=""
  dir=$(fresh web)
  unzip -q "$web_zip" -d "$dir" || { fail "$web_zip does not unpack"; return; }
  if diff -r -q "$web" "$dir" >/dev/null; then
    pass "the browser archive holds the site folder, file for file"
  else
    fail "the browser archive differs from the site folder: $(diff -r -q "$web" "$dir" | head -3 | tr '\n' ' ')"
  fi
  for page in index.html player.html; do
    [ -f "$dir/$page" ] || { missing="$missing $page"; continue; }
    # Every file the page loads from its own folder.
    for reference in $(grep -oE '(src|href)="[^"#?]+' "$dir/$page" | sed 's/^[a-z]*="//' \
                         | grep -vE '^([a-z]+:|//|/)' | sort -u); do
      [ -f "$dir/$reference" ] || missing="$missing $page:$reference"
    done
  done
  if [ -z "$missing" ]; then
    pass "the browser archive holds both pages and every file they name"
  else
    fail "the browser archive lacks:$missing"
  fi
}

# --- the source -----------------------------------------------------------------------------
check_source() {
  local dir prefix=quorbela-player-$version
  dir=$(fresh source)
  tar -xzf "$src_tar" -C "$dir" || { fail "$src_tar does not unpack"; return; }
  if ! git -C "$top" rev-parse --verify -q HEAD >/dev/null 2>&1; then
    skip "source" "the source archive against the tree (not a git checkout)"
    return
  fi
  local committed packed
  committed=$(git -C "$top" ls-tree -r --name-only HEAD | LC_ALL=C sort)
  packed=$(cd "$dir/$prefix" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  if [ "$committed" = "$packed" ]; then
    pass "the source archive holds the $(echo "$committed" | wc -l) committed files under $prefix/"
  else
    fail "the source archive's files differ from the commit's: $(diff <(echo "$committed") <(echo "$packed") | head -3 | tr '\n' ' ')"
  fi

  if [ "${DIST_CHECK_REBUILD:-1}" = 0 ]; then
    skip "rebuild" "the programs rebuilt from the source archive (DIST_CHECK_REBUILD=0)"
    return
  fi
  if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
    skip "rebuild" "the programs rebuilt from the source archive (the working tree is not the commit)"
    return
  fi
  # Built in another folder from another path, as someone checking the release would.
  local src=$dir/$prefix b=$work/rebuild log=$work/rebuild.log
  # shellcheck disable=SC2086
  if ! { cmake -S "$src" -B "$b/native" -DCMAKE_BUILD_TYPE=Release ${DIST_CMAKE_ARGS:-} &&
         cmake --build "$b/native" -j "${JOBS:-2}" --target assetgen quorbela xmplay &&
         cmake -S "$src" -B "$b/win32" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" \
           -DCMAKE_BUILD_TYPE=Release -DQUORBELA_HOST_ASSETGEN="$b/native/tools/assetgen/assetgen" \
           ${DIST_CMAKE_ARGS:-} &&
         cmake --build "$b/win32" -j "${JOBS:-2}" --target quorbela xmplay; } >"$log" 2>&1; then
    fail "the source archive does not build (see $log)"
    return
  fi
  local pair differ=""
  for pair in tools/quorbela/quorbela:native/tools/quorbela/quorbela tools/xmplay/xmplay:native/tools/xmplay/xmplay \
              assets/quorbela.xm:native/assets/quorbela.xm quorbela.exe:win32/quorbela.exe xmplay.exe:win32/xmplay.exe; do
    local shipped=${pair%%:*} rebuilt=$b/${pair#*:}
    case "$shipped" in *.exe) shipped=$win/$shipped ;; *) shipped=$native/$shipped ;; esac
    cmp -s "$shipped" "$rebuilt" || differ="$differ ${pair#*:}"
  done
  if [ -z "$differ" ]; then
    pass "built from the source archive elsewhere, quorbela, xmplay, the song, quorbela.exe and xmplay.exe are the same bytes"
  else
    fail "built from the source archive elsewhere, these differ from the shipped builds:$differ"
  fi
}

# --- the same bytes again -------------------------------------------------------------------
check_again() {
  local again
  again=$(fresh again)/dist
  if ! (umask 077 && TZ=Pacific/Chatham "$here/dist.sh" "$native" "$win" "$web" "$again" >"$work/again.log" 2>&1); then
    fail "dist.sh the second time (see $work/again.log)"
    return
  fi
  local first second
  first=$(cd "$dist" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  second=$(cd "$again" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  if [ "$first" != "$second" ]; then
    fail "dist.sh the second time made [$(echo $second)], not [$(echo $first)]"
  elif ! diff -q "$dist" "$again" >/dev/null; then
    fail "dist.sh the second time made other bytes: $(diff -q "$dist" "$again" | tr '\n' ' ')"
  else
    pass "dist.sh again, under umask 077 and another time zone, makes the same bytes"
  fi
}

for archive in "$win_zip" "$linux_tar" "$src_tar" "$dist/SHA256SUMS"; do
  [ -f "$archive" ] || { say "$archive is missing (make dist first)"; exit 1; }
done
check_sums
check_linux
check_win32
check_web
check_source
check_again

[ ${#skipped[@]} -eq 0 ] || say "${#skipped[@]} skipped: ${skipped[*]}"
say "$passed passed, $failed failed"
[ $failed -eq 0 ]
