#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   1. the sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer,
#      LeakSanitizer) of the unit tests;
#   2. the fuzzers: earlier findings through the command chain, then a bounded
#      run of the picture reader (FUZZ_SECONDS, 120 by default);
#   3. the normal build's whole suite: unit tests, the real-window test under
#      Xvfb and a one-pass run of the benchmarks. Its ctest summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
JOBS=$(nproc)

echo "== sanitizer build =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSKETRIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$JOBS" >/dev/null
(cd build-asan && ctest --output-on-failure -j "$JOBS" -E '^(window_acceptance|bench_smoke|ink_latency_check)$')

echo "== fuzzing the picture path =="
bash fuzz/run.sh "${FUZZ_SECONDS:-120}"

echo "== normal build =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS" >/dev/null
cd build
ctest --output-on-failure --timeout 600
