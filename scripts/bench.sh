#!/usr/bin/env bash
# Builds the benchmarks (optimised) and runs them; extra arguments go to
# Google Benchmark (for example --benchmark_filter=Open).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" native
cmake -S "$here" -B "$here/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZARQ_BUILD_BENCHMARKS=ON -DZARQ_BUILD_TESTS=OFF >/dev/null
cmake --build "$here/build/bench"
"$here/build/bench/bench/zarq_benchmarks" "$@"
