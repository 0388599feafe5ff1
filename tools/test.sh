#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the tests with warnings as errors
# (the package check among them), the fuzz smoke of the three readers and the benchmarks,
# then the tests once more under AddressSanitizer + UndefinedBehaviorSanitizer. Needs no
# display and no network.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test
jobs=$(nproc)
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1 QT_QPA_PLATFORM=offscreen

echo "== build and test (warnings as errors)"
cmake -S . -B build/ci -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGEODATEN_BENCH=ON >/dev/null
cmake --build build/ci -j"$jobs"
ctest --test-dir build/ci --output-on-failure -j"$jobs"

# The readers of text from anyone share one fuzz budget: the service's XML, the user's CSV
# list, a pasted point.
seconds=${GEODATEN_FUZZ_SECONDS:-60}
echo "== fuzz smoke of the XML, CSV and point readers (${seconds} s in all)"
CXX=clang++-14 cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGEODATEN_FUZZ=ON \
  -DGEODATEN_GUI=OFF -DGEODATEN_TESTS=OFF >/dev/null
cmake --build build/fuzz -j"$jobs" --target xml_fuzz csv_fuzz point_fuzz
for reader in xml csv point; do
  rm -rf "build/fuzz/corpus-$reader" && cp -r "fuzz/corpus/$reader" "build/fuzz/corpus-$reader"
  "build/fuzz/fuzz/${reader}_fuzz" -max_total_time=$((seconds / 3)) -timeout=10 -rss_limit_mb=2048 \
    -max_len=65536 -print_final_stats=1 "build/fuzz/corpus-$reader" 2>"build/fuzz/$reader.log" ||
    { tail -50 "build/fuzz/$reader.log"; exit 1; }
  echo "$reader: $(grep -E 'stat::number_of_executed_units' "build/fuzz/$reader.log")"
done

echo "== benchmarks"
build/ci/bench/xml_bench
build/ci/bench/road_bench
build/ci/bench/window_bench
# The batch tool of the commit before kept connections, built once (Release) from a
# worktree, as the yardstick of batch_bench. One line is added to it: it trusts
# SSL_CERT_FILE as this build does, so that it can ask the fake service over HTTPS too.
before=7f7676c
if git cat-file -e "$before^{commit}" 2>/dev/null; then
  if [ ! -x build/before/build/geodaten-batch ]; then
    rm -rf build/before && git worktree prune
    git worktree add --detach build/before/src "$before" >/dev/null 2>&1
    sed -i 's|^\(\s*\)curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);|&\n\1if (!qEnvironmentVariableIsEmpty("SSL_CERT_FILE")) curl_easy_setopt(c, CURLOPT_CAINFO, qgetenv("SSL_CERT_FILE").constData());|' \
      build/before/src/map_service/L_INET.cpp
    grep -q CURLOPT_CAINFO build/before/src/map_service/L_INET.cpp || { echo "the patch of $before failed"; exit 1; }
    echo "build before ($before), patched to trust SSL_CERT_FILE: $(git -C build/before/src diff --shortstat)"
    cmake -S build/before/src -B build/before/build -DCMAKE_BUILD_TYPE=Release -DGEODATEN_TESTS=OFF \
      -DGEODATEN_GUI=OFF >/dev/null
    cmake --build build/before/build -j"$jobs" --target geodaten-batch >/dev/null
  fi
  build/ci/bench/batch_bench build/before/build/geodaten-batch
else
  echo "note: commit $before is not in this clone; batch_bench compares no build before this one"
  build/ci/bench/batch_bench
fi

echo "== tests against code"
tools/ratio.sh

echo "== tests under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGEODATEN_SANITIZE=ON >/dev/null
cmake --build build/asan -j"$jobs" --target core_tests window_tests fake_map_service
ASAN_OPTIONS=detect_leaks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs" -LE slow
