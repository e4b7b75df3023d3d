#!/usr/bin/env bash
# Builds the fuzzers with clang's libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and makes the seed corpus. The whole command
# chain (load, every scale, both filters, clear) replays the seeds and every
# earlier finding (fuzz/regressions); the picture reader alone is then fuzzed for
# a bounded time. Any crash, leak or peak above 1 GiB fails the run, and so does
# an input the reader spends more than 2 s on. Replaying known inputs through the
# whole chain may take longer under the sanitizers (a tiny file can stand for a
# huge picture): there only an input over a minute, a hang, fails. Everything the
# fuzzers write lands in build-fuzz/.
#   bash fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
SECONDS_TO_RUN=${1:-120}
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSKETRIN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target fuzz_picture fuzz_reader fuzz_make_corpus
cd build-fuzz
rm -rf corpus && mkdir -p corpus findings work
QT_QPA_PLATFORM=offscreen ./fuzz/fuzz_make_corpus corpus "$SOURCE/tests/data/cmyk.jpg"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS="suppressions=$SOURCE/tests/sanitizer/lsan.supp"
common=(-rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 -artifact_prefix=findings/)
show() { grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|stat::|ERROR|SUMMARY|Done [0-9]+ runs' || true; }

echo "-- the command chain over the seeds and earlier findings"
./fuzz/fuzz_picture "${common[@]}" -timeout=60 -runs=0 corpus "$SOURCE/fuzz/regressions" 2>&1 | tee chain.log | show
grep -q 'INITED' chain.log && ! grep -q 'ERROR' chain.log

echo "-- the picture reader for ${SECONDS_TO_RUN} s"
./fuzz/fuzz_reader "${common[@]}" -timeout=2 -max_total_time="$SECONDS_TO_RUN" work corpus "$SOURCE/fuzz/regressions" \
  2>&1 | tee fuzz.log | show
grep -q 'Done [0-9]* runs' fuzz.log
