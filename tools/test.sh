#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the tests with warnings as errors
# (the package check among them), the XML reader's fuzz smoke and the benchmarks, then the
# tests once more under AddressSanitizer + UndefinedBehaviorSanitizer. Needs no display
# and no network.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
jobs=$(nproc)
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 QT_QPA_PLATFORM=offscreen

echo "== build and test (warnings as errors)"
cmake -S . -B build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGEODATEN_BENCH=ON >/dev/null
cmake --build build/ci -j"$jobs"
ctest --test-dir build/ci --output-on-failure -j"$jobs"

echo "== fuzz smoke of the XML reader (${GEODATEN_FUZZ_SECONDS:-60} s)"
CXX=clang++-14 cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGEODATEN_FUZZ=ON \
  -DGEODATEN_GUI=OFF -DGEODATEN_TESTS=OFF >/dev/null
cmake --build build/fuzz -j"$jobs" --target xml_fuzz
rm -rf build/fuzz/corpus && cp -r fuzz/corpus build/fuzz/corpus
build/fuzz/fuzz/xml_fuzz -max_total_time="${GEODATEN_FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 build/fuzz/corpus 2>build/fuzz/fuzz.log || { tail -50 build/fuzz/fuzz.log; exit 1; }
grep -E 'Done|stat::number_of_executed_units' build/fuzz/fuzz.log

echo "== benchmarks"
build/ci/bench/xml_bench
build/ci/bench/road_bench
build/ci/bench/batch_bench

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGEODATEN_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs" --target core_tests window_tests fake_map_service
ASAN_OPTIONS=detect_leaks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE slow
