#!/usr/bin/env bash
# Builds the picture-path fuzzer with clang's libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on), makes the seed corpus, and fuzzes for a bounded
# time, starting from the seed corpus and every earlier finding (fuzz/regressions).
# Any crash, leak, input slower than 2 s or peak above 1 GiB fails the run.
#   bash fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-120}
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSKETRIN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzz_picture fuzz_make_corpus
corpus=build-fuzz/corpus
rm -rf "$corpus" && mkdir -p "$corpus"
QT_QPA_PLATFORM=offscreen ./build-fuzz/fuzz/fuzz_make_corpus "$corpus" tests/data/cmyk.jpg
mkdir -p build-fuzz/findings build-fuzz/work
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp"
./build-fuzz/fuzz/fuzz_picture -max_total_time="$SECONDS_TO_RUN" -timeout=2 -rss_limit_mb=1024 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix=build-fuzz/findings/ \
  build-fuzz/work "$corpus" fuzz/regressions 2>&1 | tee build-fuzz/fuzz.log | grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::|ERROR|SUMMARY' || true
grep -q 'Done [0-9]* runs' build-fuzz/fuzz.log
