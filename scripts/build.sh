#!/usr/bin/env bash
# Configures and builds the three trees: build/native (packing tool and tests
# under the sanitizers), build/windows (the installer and its tests) and
# build/tool (the packing tool to use: optimised, no sanitizers).
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
# The tool a vendor uses; in its build folder it finds the Windows programs
# in build/windows, as an installed one finds them in ../share/brondale.
cmake -S . -B build/tool -DCMAKE_BUILD_TYPE=Release -DBRONDALE_SANITIZE=OFF \
  -DBRONDALE_WINDOWS_BUILD="$here/build/windows" >/dev/null
cmake --build build/tool -j "$jobs" --target brondale-pack
