#!/usr/bin/env bash
# Builds the decoder fuzzer with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it, 60 seconds unless given another
# number of seconds. Installs clang and its fuzzer runtime when missing.
# Findings are written to build/fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds] [extra libFuzzer options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-60}
shift || true

have_fuzzer_runtime() {
  command -v clang++ >/dev/null 2>&1 &&
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
      clang++ -x c++ -fsanitize=fuzzer -o /dev/null - >/dev/null 2>&1
}

if ! have_fuzzer_runtime; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  $sudo apt-get install -y clang libclang-rt-14-dev cmake ninja-build
fi

build=build/fuzz
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DZARQ_BUILD_FUZZERS=ON -DZARQ_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target decoders_fuzz

mkdir -p "$build/corpus" "$build/findings"
"$build/tests/fuzz/decoders_fuzz" "$build/corpus" \
  -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$build/findings/" "$@"
