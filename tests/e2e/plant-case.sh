#!/bin/sh
# The case fixture: a product whose file names differ only in case, in ASCII
# and in Polish (Żółw.txt and żółw.txt). Only the Linux side can make it:
# Wine, like Windows, would open one name for the other.
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
