#!/usr/bin/env bash
# Installs missing packages, builds, and runs every test: the unit, dialogue and
# end-to-end tests, the same unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and each fuzz target for a fixed time.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test
jobs=$(nproc)
fuzz_seconds=${ZEPH_FUZZ_SECONDS:-60}

echo "== build and test (release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEPH_BENCH=ON -DZEPH_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir build --output-on-failure -j "$jobs" | tee "$log"
release_count=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log")

echo "== tests that need a display, under Xvfb"
DISPLAY= WAYLAND_DISPLAY= xvfb-run -a -s "-noreset" ctest --test-dir build --output-on-failure -R 'OnDisplay' --no-tests=error

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEPH_SANITIZE=ON -DZEPH_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -E '^E2e' | tee "$log"
asan_count=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log")

echo "== fuzz targets, ${fuzz_seconds} s each"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPH_FUZZ=ON -DZEPH_APP=OFF >/dev/null
cmake --build build-fuzz -j "$jobs"
for target in fuzz/*.cpp; do
  name=$(basename "$target" .cpp)
  corpus="build-fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "-- $name"
  "build-fuzz/$name" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=0 "$corpus" "${seeds[@]}" 2>&1 | tail -n 3
done
fuzz_count=$(ls fuzz/*.cpp | wc -l)
echo "== all tests passed: ${release_count:-0} release, ${asan_count:-0} sanitized, ${fuzz_count} fuzz targets"
echo "$(( ${release_count:-0} + ${asan_count:-0} + fuzz_count )) passed, 0 failed"
