#!/usr/bin/env bash
# Installs the Debian packages that are missing (and only those, so that a machine that
# has them all needs no network). Usage: tools/deps.sh run|test
set -euo pipefail
run_packages=(cmake g++ make qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite libcurl4-openssl-dev libgeographiclib-dev
  xdg-utils fonts-liberation dpkg-dev file man-db)
test_packages=(libgtest-dev xvfb xdotool xclip imagemagick clang-14 libclang-rt-14-dev
  libpugixml-dev pkg-config lintian appstream desktop-file-utils)
wanted=("${run_packages[@]}")
[ "${1:-run}" = test ] && wanted+=("${test_packages[@]}")
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
