# archive.sh -- archives whose bytes depend only on the files they hold (sourced by dist.sh)
#
# Every entry gets the time $SOURCE_DATE_EPOCH, owner 0, mode 644 or 755 (executable or
# not), and the entries go in byte order of their names, so the same files give the same
# archive on any machine, under any umask and time zone.

# The modes the archives store: a program stays executable, nothing else is.
normalise_modes() {
  find "$1" -type d -exec chmod 755 {} + -o -type f -perm /111 -exec chmod 755 {} + \
    -o -type f -exec chmod 644 {} +
}

# pack_tar OUT.tar.gz PARENT NAME: the folder PARENT/NAME, as NAME/... in the archive.
pack_tar() {
  local out=$1 parent=$2 name=$3
  normalise_modes "$parent/$name"
  tar --create --format=gnu --sort=name --mtime="@$SOURCE_DATE_EPOCH" \
      --owner=0 --group=0 --numeric-owner -C "$parent" "$name" | gzip -9 -n >"$out"
}

# pack_zip OUT.zip DIR: DIR's files at the top of the archive. zip keeps local times in
# DOS form, hence TZ=UTC for both the touch and the zip; -X leaves out the owner and the
# extra time stamps, -D the folder entries.
pack_zip() {
  local out dir=$2
  out=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
  normalise_modes "$dir"
  find "$dir" -exec env TZ=UTC touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$out"
  (cd "$dir" && find . -type f -printf '%P\n' | LC_ALL=C sort | TZ=UTC zip -q -9 -X -D "$out" -@)
}
