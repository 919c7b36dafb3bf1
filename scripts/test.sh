#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds, and runs every test headless: the
# plain build, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then each
# fuzz target for a bounded time (NUMTRAIL_FUZZ_SECONDS, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== format"
scripts/check-format.sh

echo "== tests"
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DNUMTRAIL_SANITIZE=ON -DNUMTRAIL_BUILD_BENCHMARKS=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$jobs")

echo "== fuzzing"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNUMTRAIL_FUZZ=ON -DNUMTRAIL_FUZZ_SECONDS="${NUMTRAIL_FUZZ_SECONDS:-20}" >/dev/null
cmake --build build-fuzz --target fuzzers -j "$jobs"
(cd build-fuzz && ctest --output-on-failure -j "$jobs")
