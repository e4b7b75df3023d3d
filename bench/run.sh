#!/usr/bin/env bash
# Builds in Release and runs every benchmark, printing each figure as a ratio to a
# baseline measured in the same run, beside its goal; last, the stroke latency on
# X servers under Xvfb (some twenty minutes of it).
#   bash bench/run.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
REPS=${1:-5}
bash scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release --target bench_sketrin bench_startup bench_memory bench_make_photo keyprobe liveprobe sketrin \
  patternwindow inkprobe xcbink qtink
export QT_QPA_PLATFORM=offscreen
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
./build-release/bench/bench_make_photo "$out/photo.jpg"
./build-release/bench/bench_sketrin --benchmark_repetitions="$REPS" \
  --benchmark_format=json --benchmark_out="$out/bench.json" --benchmark_out_format=json >/dev/null 2>&1
python3 bench/report.py "$out" "$REPS" ./build-release/bench
bash bench/draw_key.sh build-release 10 1920x1080 60
bash bench/draw_key.sh build-release 10 3840x2160 150
bash bench/live_key.sh build-release 5
echo
python3 bench/latency/ink_latency.py build-release
