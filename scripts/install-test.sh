#!/usr/bin/env bash
# Installs the native build into an empty prefix (cmake --install) and as a
# Debian package (cpack, unpacked with dpkg-deb), and uses each from another
# folder as a vendor would: new, lint, build with no --stub, verify.
#
#   scripts/install-test.sh NATIVE_BUILD WINDOWS_BUILD
set -euo pipefail
build="$(cd "$1" && pwd)"
windows="$(cd "$2" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "install-test: $*" >&2; exit 1; }

# Packs a new product with the tool at $1 from a folder of its own, and
# checks the installer begins with the installed installer program.
use() {
  local tool="$1" share="$2" at="$work/use-$3"
  mkdir -p "$at"
  cd "$at"
  "$tool" --version | grep -q '^brondale-pack [0-9]' || fail "$3: --version"
  "$tool" new Product --name "Install Test" || fail "$3: new"
  "$tool" lint Product > lint.out || fail "$3: lint: $(cat lint.out)"
  grep -qx '0 findings, 0 errors' lint.out || fail "$3: lint found something: $(cat lint.out)"
  "$tool" build Product -o Setup.exe || fail "$3: build without --stub"
  "$tool" verify Setup.exe | grep -q ': sound$' || fail "$3: verify"
  # The installer is the installed brondale.exe with its headers rewritten
  # (its version resource goes into a section added at its end): past the
  # first 4 KiB, which hold the headers, every byte of it is there as it was.
  local size
  size=$(stat -c %s "$share/brondale.exe")
  cmp -i 4096 -n $((size - 4096)) Setup.exe "$share/brondale.exe" ||
    fail "$3: the installer is not the installed brondale.exe"
  "$tool" list Setup.exe | grep -q 'UnInst.dat' || fail "$3: the installed uninstaller was not packed"
  "$tool" list Setup.exe | grep -q 'Install Test.exe' || fail "$3: no placeholder program"
  # Findings on standard error, one a line; the summary last, on its own line.
  printf '[cfg]\r\n1=Install Test   ; the name\r\n2=gone.txt\r\n' > Product/install/init.cfg
  if "$tool" lint Product > both.out 2>&1; then fail "$3: lint passed a missing licence"; fi
  [ "$(tail -n 1 both.out)" = "2 findings, 1 error" ] || fail "$3: summary not last: $(cat both.out)"
  grep -qx "warning: init.cfg \[cfg\] 1: .*looks like a comment.*" both.out || fail "$3: $(cat both.out)"
  grep -qx "error: init.cfg \[cfg\] 2: .*" both.out || fail "$3: $(cat both.out)"
  "$tool" lint Product > summary.out 2>/dev/null || true
  [ "$(cat summary.out)" = "2 findings, 1 error" ] || fail "$3: standard output is not the summary alone"
  cd "$work"
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/brondale-pack share/brondale/brondale.exe share/brondale/UnInst.exe share/brondale/placeholder.exe; do
  [ -f "$prefix/$f" ] || fail "cmake --install: no $f"
done
cmp -s "$prefix/share/brondale/brondale.exe" "$windows/brondale.exe" || fail "installed brondale.exe differs"
use "$prefix/bin/brondale-pack" "$prefix/share/brondale" prefix

cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/deb/*.deb)
dpkg-deb -x "$deb" "$work/root"
[ -x "$work/root/usr/bin/brondale-pack" ] || fail "the Debian package has no usr/bin/brondale-pack"
use "$work/root/usr/bin/brondale-pack" "$work/root/usr/share/brondale" deb
echo "install-test: cmake --install and $(basename "$deb") both pack without --stub"
