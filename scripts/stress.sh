#!/usr/bin/env bash
# Builds zarq natively (Release) and runs the harness's stress mode long:
# many processes opening and closing one directory at once, round after
# round, checking after each round that nothing was lost or left behind.
# Prints each run's figures and how many runs failed; exits 1 if any did.
# Usage: scripts/stress.sh [--runs N] [harness options...]
#   defaults: --runs 10 --processes 8 --rounds 2000; other options
#   (--pause MS, --seed S, or others given later) pass to zarq_harness.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=10
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    *) options+=("$1"); shift ;;
  esac
done

"$here/scripts/setup.sh" native
build=$here/build/stress
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARQ_BUILD_TESTS=ON \
  -DZARQ_SANITIZE=OFF >/dev/null
cmake --build "$build" --target zarq_harness zarq_peer

failed=0
for run in $(seq 1 "$runs"); do
  echo "== run $run of $runs"
  # A seed of its own per run; one given among the options wins.
  if ! "$build/tests/zarq_harness" stress --processes 8 --rounds 2000 \
      --seed "$((RANDOM * 32768 + RANDOM))" ${options[@]+"${options[@]}"}; then
    failed=$((failed + 1))
  fi
done
echo "== $failed of $runs runs failed"
[ "$failed" -eq 0 ]
