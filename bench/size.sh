#!/usr/bin/env bash
# The size benchmark: how large an installer is for a product whose program/
# holds one file of 1 KB, next to NSIS 3's installer of the same file (the
# Modern UI 2 with its uninstaller, LZMA), and what the installer program
# and the uninstaller weigh on their own. Prints figures and the target
# beside them; it fails only when something does not work.
#
#   bench/size.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
jobs="$(nproc)"
out="$here/build/bench/size"

log() { printf '== %s\n' "$*"; }

"$here/scripts/setup.sh"
if ! dpkg-query -W -f='${Status}' nsis 2>/dev/null | grep -q "install ok installed"; then
  echo "bench: installing nsis"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q nsis
fi

log "building build/bench-native (packing tool) and build/bench-windows (installer, uninstaller)"
cmake --no-warn-unused-cli -S . -B build/bench-native -DCMAKE_BUILD_TYPE=Release -DBRONDALE_SANITIZE=OFF >/dev/null
cmake --build build/bench-native -j "$jobs" --target brondale-pack >/dev/null
cmake --no-warn-unused-cli -S . -B build/bench-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench-windows -j "$jobs" --target brondale brondale-uninst >/dev/null
pack="$here/build/bench-native/brondale-pack"
stub="$here/build/bench-windows/brondale.exe"
uninstaller="$here/build/bench-windows/UnInst.exe"

# The product: one file of 1 KB (pseudo-random bytes, the same every run).
rm -rf "$out"
mkdir -p "$out/product/install" "$out/product/program"
printf '[cfg]\r\n1=Size Bench\r\n[product]\r\nVersion=1.0.0\r\nPublisher=Example Ltd\r\n' >"$out/product/install/init.cfg"
python3 -c 'import random, sys; random.seed(1); sys.stdout.buffer.write(bytes(random.getrandbits(8) for _ in range(1024)))' \
  >"$out/product/program/data.bin"

log "packing the installer (level 9)"
"$pack" build "$out/product" -o "$out/SizeBenchSetup.exe" --stub "$stub" --uninstaller "$uninstaller" >/dev/null
"$pack" verify "$out/SizeBenchSetup.exe" >/dev/null

log "building the NSIS installer (MUI2, LZMA, with its uninstaller)"
cat >"$out/nsis.nsi" <<NSI
Unicode true
!include "MUI2.nsh"
Name "Size Bench"
OutFile "$out/nsis-setup.exe"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
InstallDir "\$PROGRAMFILES\\Size Bench"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
Section
  SetOutPath "\$INSTDIR"
  File "$out/product/program/data.bin"
  WriteUninstaller "\$INSTDIR\\Uninstall.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Size Bench" "DisplayName" "Size Bench"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Size Bench" "UninstallString" "\$INSTDIR\\Uninstall.exe"
SectionEnd
Section "Uninstall"
  Delete "\$INSTDIR\\data.bin"
  Delete "\$INSTDIR\\Uninstall.exe"
  RMDir "\$INSTDIR"
  DeleteRegKey HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Size Bench"
SectionEnd
NSI
makensis -V1 "$out/nsis.nsi" >/dev/null

size() { stat -c %s "$1"; }
installer=$(size "$out/SizeBenchSetup.exe")
nsis=$(size "$out/nsis-setup.exe")
echo
echo "Size benchmark: a product whose program/ holds one file of 1 KB"
printf '  %-44s %9d bytes\n' "Brondale installer" "$installer"
printf '  %-44s %9d bytes\n' "  the installer program brondale.exe" "$(size "$stub")"
printf '  %-44s %9d bytes\n' "  the uninstaller UnInst.exe (before packing)" "$(size "$uninstaller")"
printf '  %-44s %9d bytes\n' "NSIS 3 installer (MUI2, LZMA, uninstaller)" "$nsis"
echo
echo "Targets (printed, not enforced):"
verdict() { if [ "$1" -le "$2" ]; then echo met; else echo "NOT met"; fi; }
printf '  installer <= 300,000 bytes             %d  %s\n' "$installer" "$(verdict "$installer" 300000)"
awk -v b="$installer" -v n="$nsis" 'BEGIN { printf "  installer / NSIS                        %.2f\n", b / n }'
