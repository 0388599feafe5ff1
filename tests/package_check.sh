#!/usr/bin/env bash
# Builds the .deb with CPack and checks that it installs the program, its desktop entry
# and its icons. Usage: package_check.sh BUILD_DIR
set -euo pipefail
cd "$1"
rm -f geodaten_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls geodaten_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' > package-files.txt
expected=(./usr/bin/geodaten ./usr/share/applications/geodaten.desktop
  ./usr/share/icons/hicolor/scalable/apps/geodaten.svg)
for size in 16 20 24 32 40 48 64 72 96 128; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/geodaten.png")
done
for file in "${expected[@]}"; do
  grep -qxF "$file" package-files.txt || { echo "missing in $deb: $file"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q xdg-utils || { echo "no dependency on xdg-utils"; exit 1; }
echo "package: $deb holds all ${#expected[@]} files"
