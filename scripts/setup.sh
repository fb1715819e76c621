#!/usr/bin/env bash
# Installs what building and testing need on Debian 12: the MinGW-w64
# cross-compiler and its zlib, GoogleTest's source, Wine with its 32-bit half,
# Xvfb, the Polish locale (code page 1250 under Wine), clang with libFuzzer
# for the fuzz targets, osslsigncode with openssl for the signing tests and
# pefile, which reads the installers' version resource in a test.
# Does nothing that is already done.
set -euo pipefail

packages=(
  cmake make g++ pkg-config python3 zlib1g-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev
  wine wine32:i386 xvfb xauth x11-utils imagemagick locales
  clang libclang-rt-14-dev osslsigncode openssl python3-pefile
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^pl_PL\.utf8$'; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i pl_PL -f UTF-8 pl_PL.UTF-8
fi
