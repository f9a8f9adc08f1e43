#!/usr/bin/env bash
# The main job: installs what is missing, builds the library and the zarq
# command, makes a database in a fresh folder from the bundled daily prices,
# lists it, shows the last ten bars, exports weekly bars, and leaves the
# folder for the user to go on with zarq by hand.
# Usage: scripts/run.sh [FOLDER]   (default: a new folder under $TMPDIR)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" native
# The library and the command only; scripts/test.sh reconfigures this build
# tree with its tests.
cmake -S "$here" -B "$here/build/native" -G Ninja \
  -DZARQ_BUILD_TESTS=OFF -DZARQ_SANITIZE=OFF >/dev/null
cmake --build "$here/build/native" | tail -n 1
zarq=$here/build/native/tools/zarq/zarq
sample=$here/tests/tools/data/msft-2000-2001-daily.csv

folder=${1:-$(mktemp -d "${TMPDIR:-/tmp}/zarq-demo.XXXXXX")/quotes}
say() { printf '\n$ zarq'; printf ' %q' "$@"; echo; }
step() { say "$@"; "$zarq" "$@"; }
step create "$folder"
step import "$folder" "$sample" --symbol MSFT --name "Microsoft Corporation"
step list "$folder"
step show "$folder" MSFT --last 10
weekly=$folder-weekly.csv
say convert "$folder" MSFT --to W --csv
"$zarq" convert "$folder" MSFT --to W --csv >"$weekly"
head -n 4 "$weekly"
echo "... $(($(wc -l <"$weekly") - 1)) weekly bars in $weekly"
step check "$folder"

cat <<END

The database is in $folder. Go on by hand, for example:
  $zarq show $folder MSFT --from 2001-01-01 --to 2001-01-31
  $zarq convert $folder MSFT --to M
  $zarq export $folder MSFT -o msft.csv
  $zarq --help
END
