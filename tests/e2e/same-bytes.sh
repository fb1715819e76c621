#!/usr/bin/env bash
# Both builds of the packing tool give the same installer for the same
# folder: the native tool and the Windows tool (under Wine) pack the example
# product with a vendor's icon, version resource and all, and the two files
# are compared byte for byte.
#
#   tests/e2e/same-bytes.sh NATIVE_TOOL WINDOWS_BUILD
set -euo pipefail
native="$1"
windows="$(cd "$2" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d /tmp/brondale-same-bytes.XXXXXX)"
trap 'rm -rf "$work"' EXIT
z() { printf 'Z:%s' "$1" | tr / '\\'; }

cp -r "$here/examples/demo" "$work/P"
# A 16x16 and a 32x32 image of 32-bit pixels.
python3 - "$work/P/install/setup.ico" <<'PY'
import struct, sys
images = []
for size in (16, 32):
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    images.append((size, header + bytes([size]) * (size * size * 4) + bytes(4 * size)))
out = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for size, data in images:
    out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(sys.argv[1], 'wb').write(out + b''.join(d for _, d in images))
PY
mkdir -p "$work/native" "$work/windows"
"$native" build "$work/P" -o "$work/native/Setup.exe" --stub "$windows/brondale.exe" \
  --uninstaller "$windows/UnInst.exe" --level 6 >/dev/null
"$here/scripts/wine-run.sh" "$windows/brondale-pack.exe" build "$(z "$work/P")" -o "$(z "$work/windows/Setup.exe")" \
  --stub "$(z "$windows/brondale.exe")" --uninstaller "$(z "$windows/UnInst.exe")" --level 6 >/dev/null
cmp "$work/native/Setup.exe" "$work/windows/Setup.exe"
echo "same-bytes: $(stat -c %s "$work/native/Setup.exe") bytes, the same from both tools"
