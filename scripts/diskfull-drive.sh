#!/usr/bin/env bash
# A small full-able drive for the disk-full end-to-end test: "mount DIR"
# mounts an 8 MB tmpfs on DIR and maps it as drive Q: of the test's Wine
# prefix (BRONDALE_WINEPREFIX); "unmount DIR" takes both away again. CTest
# runs the two as the set-up and clean-up of the diskfull fixture. Needs root
# (or sudo), as mounting does.
set -euo pipefail
action="${1:?usage: diskfull-drive.sh mount|unmount DIR}"
dir="${2:?usage: diskfull-drive.sh mount|unmount DIR}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
prefix="${BRONDALE_WINEPREFIX:-$here/build/windows/wine-prefix}"
drive="$prefix/dosdevices/q:"
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"

case "$action" in
mount)
  mkdir -p "$dir" "$prefix/dosdevices"
  # A mount left by an interrupted run is replaced: the test needs it empty.
  if mountpoint -q "$dir"; then $sudo umount "$dir"; fi
  $sudo mount -t tmpfs -o size=8m,mode=0777 tmpfs "$dir"
  ln -sfn "$dir" "$drive"
  echo "diskfull: 8 MB tmpfs on $dir is drive Q: of $prefix"
  ;;
unmount)
  if [ -L "$drive" ] && [ "$(readlink "$drive")" = "$dir" ]; then rm -f "$drive"; fi
  if mountpoint -q "$dir"; then $sudo umount "$dir"; fi
  rmdir "$dir" 2>/dev/null || true
  echo "diskfull: $dir unmounted"
  ;;
*)
  echo "usage: diskfull-drive.sh mount|unmount DIR" >&2
  exit 2
  ;;
esac
