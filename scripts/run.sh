#!/usr/bin/env bash
# The main job: installs what is missing, builds zarq for this machine and
# runs the example program, which initialises the library and works with
# some dates and times.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" native
# The library and examples only; scripts/test.sh reconfigures this build
# tree with its tests.
cmake -S "$here" -B "$here/build/native" -G Ninja \
  -DZARQ_BUILD_TESTS=OFF -DZARQ_SANITIZE=OFF >/dev/null
cmake --build "$here/build/native"
"$here/build/native/examples/hello_dates"
