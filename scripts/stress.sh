#!/usr/bin/env bash
# Builds zarq natively (Release) and runs a stress mode of the harness long,
# round after round, checking after each round that nothing was lost or
# left behind: by default many processes opening and closing one directory
# at once; with --mode lock-stress many processes locking and changing its
# securities at once; with --mode data-stress many processes changing and
# reading price data and adding and deleting securities at once. Prints each run's figures and how many runs failed;
# exits 1 if any did.
# Usage: scripts/stress.sh [--runs N] [--mode stress|lock-stress|data-stress]
#                          [harness options...]
#   defaults: --runs 10 --mode stress --processes 8 and --rounds 2000 (stress)
#   or 1000 (lock-stress, data-stress); other options (--pause MS, --ops K, --seed S, or
#   others given later) pass to zarq_harness.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=10
mode=stress
options=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --mode) mode=$2; shift 2 ;;
    *) options+=("$1"); shift ;;
  esac
done
case $mode in
  stress) rounds=2000 ;;
  lock-stress | data-stress) rounds=1000 ;;
  *) echo "unknown mode $mode (stress, lock-stress or data-stress)" >&2; exit 2 ;;
esac

"$here/scripts/setup.sh" native
build=$here/build/stress
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZARQ_BUILD_TESTS=ON \
  -DZARQ_SANITIZE=OFF >/dev/null
cmake --build "$build" --target zarq_harness zarq_peer

failed=0
for run in $(seq 1 "$runs"); do
  echo "== run $run of $runs"
  # A seed of its own per run; one given among the options wins.
  if ! "$build/tests/zarq_harness" "$mode" --processes 8 --rounds "$rounds" \
      --seed "$((RANDOM * 32768 + RANDOM))" ${options[@]+"${options[@]}"}; then
    failed=$((failed + 1))
  fi
done
echo "== $failed of $runs runs failed"
[ "$failed" -eq 0 ]
