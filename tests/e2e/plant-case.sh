#!/bin/sh
# The case fixture: a product whose file names differ only in case, in ASCII
# and in Polish (Żółw.txt and żółw.txt), and beside it (DIR-links) products
# with symbolic links. Only the Linux side can make them: Wine, like
# Windows, would open one name for the other, and makes no links.
#
#   tests/e2e/plant-case.sh DIR
set -eu
dir="$1"
rm -rf "$dir"
mkdir -p "$dir/install" "$dir/program"
printf '[cfg]\r\n1=Case\r\n' > "$dir/install/init.cfg"
printf 'a' > "$dir/program/xt_CONNMARK.h"
printf 'b' > "$dir/program/xt_connmark.h"
printf 'c' > "$dir/program/Żółw.txt"
printf 'd' > "$dir/program/żółw.txt"

# Beside it, two products with links, which Wine shows as reparse points:
# good/ links only inside itself; bad/ also to a file outside.
links="$dir-links"
rm -rf "$links"
for p in good bad; do
  mkdir -p "$links/$p/install" "$links/$p/program"
  printf '[cfg]\r\n1=Links\r\n' > "$links/$p/install/init.cfg"
  printf 'inside' > "$links/$p/program/a.txt"
  ln -s a.txt "$links/$p/program/b.txt"
  ln -s ../install "$links/$p/program/docs"
done
mkdir -p "$links/outside"
printf 'outside' > "$links/outside/secret.txt"
ln -s "$links/outside/secret.txt" "$links/bad/program/secret.txt"
