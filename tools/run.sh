#!/usr/bin/env bash
# Installs what is missing, builds both programs, installs them as the Debian package the
# build makes (so that geodaten and geodaten-batch, their man pages, the desktop entry and
# the icons are where a user looks for them, in every new shell) and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DGEODATEN_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
(cd build/release && rm -f geodaten_*.deb && cpack -G DEB >cpack.log 2>&1) ||
  { cat build/release/cpack.log; exit 1; }
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo dpkg -i build/release/geodaten_*.deb >/dev/null
echo "geodaten und geodaten-batch sind installiert (man geodaten, man geodaten-batch)."
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  # Over ssh or on a console the window has nowhere to appear; the batch tool works.
  echo "Kein Bildschirm (DISPLAY, WAYLAND_DISPLAY): das Fenster startet in einer grafischen Sitzung; geodaten-batch --help geht überall."
  exit 0
fi
exec geodaten "$@"
