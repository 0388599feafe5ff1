#!/usr/bin/env bash
# Builds the .deb as Debian builds packages (Release, Debian's hardening flags, stripped),
# checks that it installs what a user needs, and has Debian's own checkers pass it:
# lintian (no error, no warning but those the README justifies), appstreamcli and
# desktop-file-validate; the packaged geodaten-batch runs against the fake service.
# Usage: package_check.sh SOURCE_DIR BUILD_DIR FAKE_SERVICE ICON_SIZES...
set -euo pipefail
source=$1 build=$2 fake=$3
shift 3
flags() { dpkg-buildflags --get "$1"; }
cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DGEODATEN_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
cd "$build"
rm -f geodaten_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls geodaten_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' >package-files.txt
expected=(./usr/bin/geodaten ./usr/bin/geodaten-batch ./usr/share/applications/geodaten.desktop
  ./usr/share/icons/hicolor/scalable/apps/geodaten.svg ./usr/share/man/man1/geodaten.1.gz
  ./usr/share/man/man1/geodaten-batch.1.gz ./usr/share/metainfo/org.example.geodaten.metainfo.xml
  ./usr/share/doc/geodaten/copyright ./usr/share/doc/geodaten/changelog.gz)
for size in "$@"; do expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/geodaten.png"); done
for file in "${expected[@]}"; do
  grep -qxF "$file" package-files.txt || { echo "missing in $deb: $file"; exit 1; }
done
rm -rf unpacked && dpkg-deb -x "$deb" unpacked
MANPAGER=cat man -l unpacked/usr/share/man/man1/geodaten.1.gz | grep -q "GEODATEN_PROVIDER" || { echo "man page"; exit 1; }
appstreamcli validate --no-net unpacked/usr/share/metainfo/org.example.geodaten.metainfo.xml
desktop-file-validate unpacked/usr/share/applications/geodaten.desktop
lintian --tag-display-limit 0 "$deb" >lintian.log 2>&1 || true
grep -v 'running with root privileges' lintian.log || true
if grep -E '^(E|W): ' lintian.log; then echo "lintian: unjustified errors or warnings"; exit 1; fi
# The packaged batch tool, as a user runs it after installing: both commands, open provider.
"$fake" --port 0 --dir "$source/tests/fixtures" >fake.log &
trap 'kill $!' EXIT
for _ in $(seq 50); do [ -s fake.log ] && break; sleep 0.1; done
base="http://127.0.0.1:$(head -1 fake.log)"
export GEODATEN_NOMINATIM_URL=$base GEODATEN_OSRM_URL=$base GEODATEN_PACE_MS=0 TEMP=$PWD no_proxy=127.0.0.1 LC_ALL=C.UTF-8
export XDG_CACHE_HOME=$PWD/cache XDG_RUNTIME_DIR=$PWD # the kept answers go through the SQLite driver
unset GEODATEN_SERVICE_URL GEODATEN_API_KEY GEODATEN_PROVIDER
rm -rf cache
printf 'Adresse\n9220 Velden AT\n' | unpacked/usr/bin/geodaten-batch geocode --quiet | grep -q ',OK$' || { echo "batch geocode"; exit 1; }
[ -s cache/geodaten/answers.sqlite ] || { echo "batch cache"; exit 1; }
printf 'from,to\n9220 Velden AT,9500 Villach AT\n' | unpacked/usr/bin/geodaten-batch distance | grep -q '24.312,00:24:36,1476,24312,24.312,24,OK' || { echo "batch distance"; exit 1; }
echo "package: $deb holds all ${#expected[@]} files; lintian, appstreamcli and desktop-file-validate pass"
