#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh run
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DGEODATEN_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
exec build/release/geodaten "$@"
