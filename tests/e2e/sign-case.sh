#!/bin/bash
# The signed case's fixture, on the Linux side where osslsigncode runs:
#
#   tests/e2e/sign-case.sh build TOOL BUILD_DIR DIR
#     builds DIR/Signed.exe from a small product with the native packing
#     tool and build --sign (osslsigncode, a certificate made for the run),
#     and checks with osslsigncode the installer and the uninstaller
#     extracted from its package;
#   tests/e2e/sign-case.sh installed DIR
#     after the case has installed it under Wine: checks the installed
#     UnInstall\UnInst.exe (the copy the case keeps of it as
#     DIR/installed-UnInst.exe, before its uninstaller removes the product),
#     then removes DIR.
set -euo pipefail
if [ "$1" = installed ]; then
  dir="$2"
  osslsigncode verify -CAfile "$dir/sign.crt" -in "$dir/installed-UnInst.exe" | grep -q "Signature verification: ok"
  echo "the installed UnInstall/UnInst.exe verifies"
  rm -rf "$dir"
  exit 0
fi
tool="$2" build="$3" dir="$4"
rm -rf "$dir"
mkdir -p "$dir/product/install" "$dir/product/program"
cd "$dir"
printf '[cfg]\r\n1=Signed E2E\r\n[product]\r\nVersion=2.4.1\r\nCopyright=(c) 2024 Example Ltd\r\n' >product/install/init.cfg
printf 'signed' >product/program/readme.txt
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Brondale E2E" -keyout sign.key -out sign.crt \
  >/dev/null 2>&1
"$tool" build product -o Signed.exe --stub "$build/brondale.exe" --uninstaller "$build/UnInst.exe" \
  --sign 'osslsigncode sign -certs sign.crt -key sign.key -h sha256 -n "Signed E2E" -in {} -out {}.signed && mv {}.signed {}'
for file in Signed.exe; do
  osslsigncode verify -CAfile sign.crt -in "$file" | grep -q "Signature verification: ok"
done
"$tool" extract Signed.exe extracted >/dev/null
osslsigncode verify -CAfile sign.crt -in extracted/install/UnInst.dat | grep -q "Signature verification: ok"
echo "the installer and the uninstaller in its package verify"
