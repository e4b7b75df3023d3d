#!/usr/bin/env bash
# Sets up, builds and runs every test:
#   0. the sources' formatting (clang-format, the repository's .clang-format);
#   1. the sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer,
#      LeakSanitizer) of the unit tests, in which a warning is an error;
#   2. the fuzzers: earlier findings through the command chain, then a bounded
#      run of the picture reader (FUZZ_SECONDS, 120 by default);
#   3. the normal build's whole suite: unit tests, the real-window test under
#      Xvfb and a one-pass run of the benchmarks. Its ctest summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
JOBS=$(nproc)

echo "== formatting =="
mapfile -t sources < <(find app canvas forms imaging info journal present toolbar wayland tests bench fuzz \
  \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null | sort)
clang-format --dry-run --Werror "${sources[@]}"

# Builds show their warnings (and only those: no progress lines).
echo "== sanitizer build, warnings as errors =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSKETRIN_SANITIZE=ON -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build build-asan -j "$JOBS" -- --quiet
(cd build-asan && ctest --output-on-failure -j "$JOBS" -E '^(window_acceptance|wayland_sway|wayland_layer_.*|live_.*|bench_smoke|ink_latency_check)$')

echo "== fuzzing the picture path =="
bash fuzz/run.sh "${FUZZ_SECONDS:-120}"

echo "== normal build =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS" -- --quiet
cd build
ctest --output-on-failure --timeout 600
