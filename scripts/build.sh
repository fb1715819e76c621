#!/usr/bin/env bash
# Configures and builds both trees: build/native (packing tool and tests under
# the sanitizers) and build/windows (the installer and its tests).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
jobs="$(nproc)"
# The native tree installs the Windows programs built afterwards beside the tool.
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DBRONDALE_WINDOWS_BUILD="$here/build/windows" >/dev/null
cmake --build build/native -j "$jobs"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DCMAKE_BUILD_TYPE=Release \
  -DBRONDALE_PACK="$here/build/native/brondale-pack" >/dev/null
cmake --build build/windows -j "$jobs"
