#!/bin/bash
# dist.sh -- the release: the Windows programs, the Linux programs, the browser folder and the
# source, each archive named with the version xmplay --version prints, and their SHA-256 sums
#
#   dist.sh NATIVE_BUILD WIN32_BUILD WEB_SITE OUT_DIR     (make dist runs it)
#
# OUT_DIR is emptied of earlier archives first. The archives' bytes depend only on what they hold (see
# archive.sh); the time in them is the last commit's, or $SOURCE_DATE_EPOCH when set. A
# WEB_SITE (the browser's folder) without index.html means there is no browser build: that
# archive is skipped.
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: dist.sh NATIVE_BUILD WIN32_BUILD WEB_SITE OUT_DIR" >&2
  exit 2
fi
native=$1 win=$2 web=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
# shellcheck source=archive.sh
. "$here/archive.sh"

say() { printf 'dist: %s\n' "$*"; }
die() { say "$*" >&2; exit 1; }

for file in "$native/tools/xmplay/xmplay" "$native/tools/quorbela/quorbela" "$win/xmplay.exe" \
            "$win/quorbela.exe" "$native/assets/quorbela.xm"; do
  [ -f "$file" ] || die "$file is not built (make build and make win32 first)"
done

# One version for every archive: the one the player says it is.
version=$("$native/tools/xmplay/xmplay" --version | sed -n 's/^xmplay //p')
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "xmplay --version gave no version ('$version')"

in_git=false
git -C "$top" rev-parse --verify -q HEAD >/dev/null 2>&1 && in_git=true
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  $in_git || die "not a git checkout: set SOURCE_DATE_EPOCH to the time the archives should carry"
  SOURCE_DATE_EPOCH=$(git -C "$top" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH

# Emptied, but only of what an earlier run left there: a wrong OUT_DIR loses nothing.
[ -n "$out" ] || die "no output folder"
if [ -e "$out" ]; then
  [ -d "$out" ] || die "$out is not a folder"
  others=$(find "$out" -mindepth 1 ! \( -type f \( -name '*.zip' -o -name '*.tar.gz' -o -name SHA256SUMS \) \) -print -quit)
  [ -z "$others" ] || die "$out holds more than release archives ($others); give another folder"
  find "$out" -mindepth 1 -maxdepth 1 -type f -delete
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# The README for both program archives, with Windows line ends in the Windows one. Its
# warning is the one the show itself prints.
warning=$("$native/tools/quorbela/quorbela" --help | sed -n 's/^\(Photosensitivity warning: [^.]*\.\).*/\1/p')
[ -n "$warning" ] || die "quorbela --help prints no photosensitivity warning"
readme() { sed -e "s/@VERSION@/$version/g" -e "s|@WARNING@|$warning|" "$here/README.txt"; }

# Windows: the files at the top of the zip, as demo archives are.
name=quorbela-$version-win32
mkdir "$stage/$name"
i686-w64-mingw32-strip -o "$stage/$name/quorbela.exe" "$win/quorbela.exe"
i686-w64-mingw32-strip -o "$stage/$name/xmplay.exe" "$win/xmplay.exe"
cp "$native/assets/quorbela.xm" "$stage/$name/"
readme | sed 's/$/\r/' >"$stage/$name/README.txt"
pack_zip "$out/$name.zip" "$stage/$name"

# Linux: one folder in the tarball.
name=quorbela-$version-linux-x86_64
mkdir "$stage/$name"
strip -o "$stage/$name/quorbela" "$native/tools/quorbela/quorbela"
strip -o "$stage/$name/xmplay" "$native/tools/xmplay/xmplay"
cp "$native/assets/quorbela.xm" "$stage/$name/"
readme >"$stage/$name/README.txt"
pack_tar "$out/$name.tar.gz" "$stage" "$name"

# The browser: the site folder as it is, for any static host.
name=quorbela-$version-web
if [ -f "$web/index.html" ]; then
  cp -R "$web" "$stage/$name"
  pack_zip "$out/$name.zip" "$stage/$name"
else
  say "$name.zip skipped: no browser build ($web/index.html)"
fi

# The source: the committed tree.
name=quorbela-player-$version-src
if $in_git; then
  git -C "$top" archive --format=tar --prefix="quorbela-player-$version/" HEAD | gzip -9 -n >"$out/$name.tar.gz"
  if [ -n "$(git -C "$top" status --porcelain --untracked-files=no)" ]; then
    say "note: $name.tar.gz holds the last commit; the working tree has changes it does not"
  fi
else
  say "$name.tar.gz skipped: not a git checkout"
fi

sums=$(cd "$out" && find . -maxdepth 1 -type f -printf '%P\n' | LC_ALL=C sort | xargs sha256sum)
echo "$sums" >"$out/SHA256SUMS"
say "$out, version $version, time $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC'):"
(cd "$out" && for file in $(LC_ALL=C ls); do printf '  %-45s %9d bytes\n' "$file" "$(stat -c %s "$file")"; done)
