#!/usr/bin/env bash
# A native Linux process and a Windows process under Wine lock ranges of one
# file in one folder: each must see the other's locks (both end up as POSIX
# locks on the same file). Then both open one database and lock its
# securities: a write lock of one refuses every lock of the other until it
# is unlocked, and read locks are shared. Needs build/native and the
# Windows build tree
# (build/win64 by default, or build/win32) with tests; runs Wine through
# scripts/wine-run (its prefix, its quiet output).
# Usage: scripts/interop-test.sh [win64|win32]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
native=$here/build/native/tests/zarq_peer
windows=$here/build/${1:-win64}/tests/zarq_peer.exe
[ -x "$native" ] && [ -f "$windows" ] || { echo "peers not built"; exit 1; }
folder=$(mktemp -d)
winfolder="Z:$(echo "$folder" | tr / '\\')"

# Each peer reads commands on its standard input and appends one answer
# line per command to its answers file.
exec 3> >("$native" "$folder/linux.answers")
exec 4> >("$here/scripts/wine-run" "$windows" "$winfolder\\windows.answers")
trap 'echo exit >&3; echo exit >&4; sleep 1; rm -rf "$folder"' EXIT

ask() {  # ask <fd> <answers file> <command>: prints the status and values
  local before=0
  [ -f "$2" ] && before=$(wc -l <"$2")
  echo "$3" >&"$1"
  for _ in $(seq 600); do
    if [ -f "$2" ] && [ "$(wc -l <"$2")" -gt "$before" ]; then
      sed -n "$((before + 1))p" "$2" | tr -d '\r' | cut -d' ' -f2-
      return
    fi
    sleep 0.1
  done
  echo "no answer"
}
expect() {  # expect <what> <want> <answer>: the answer's status is wanted
  if [ "$2" != "${3%% *}" ]; then echo "FAILED: $1: wanted $2, got $3"; exit 1; fi
  echo "ok: $1"
}
value() { echo "${1#* }"; }  # value <answer>: its values
linux() { ask 3 "$folder/linux.answers" "$1"; }
windows() { ask 4 "$folder/windows.answers" "$1"; }

# Wait for both to have started (their first answer line).
for _ in $(seq 600); do
  [ -s "$folder/linux.answers" ] && [ -s "$folder/windows.answers" ] && break
  sleep 0.1
done
expect "linux init" 0 "$(linux "init Linux Side")"
expect "windows init" 0 "$(windows "init Windows Side")"
expect "linux open" 1 "$(linux "open $folder 0")"
expect "windows open" 1 "$(windows "open $winfolder 0")"
expect "windows locks 0..99" 0 "$(windows "lock 1 shared.bin 0 100 2")"
expect "linux is refused 50..59" -325 "$(linux "lock 1 shared.bin 50 10 2")"
expect "linux locks 200..209" 0 "$(linux "lock 1 shared.bin 200 10 2")"
expect "windows is refused 205..214" -325 "$(windows "lock 1 shared.bin 205 10 2")"
expect "windows unlocks" 0 "$(windows "lock 1 shared.bin 0 100 0")"
expect "linux now locks 50..59" 0 "$(linux "lock 1 shared.bin 50 10 2")"
echo "native and Wine processes exclude each other's byte ranges"

# A database of three securities, written by the native peer.
mkdir "$folder/db"
expect "linux writes master files" 0 "$(linux "masters $folder/db 3")"
answer=$(linux "open $folder/db 0")
expect "linux opens the database" 0 "$answer"
linux_db=$(value "$answer")
answer=$(windows "open $winfolder\\db 0")
expect "windows opens the database" 0 "$answer"
windows_db=$(value "$answer")
answer=$(linux "lookup $linux_db S2 D")
expect "linux finds S2" 0 "$answer"
linux_s2=$(value "$answer")
answer=$(windows "lookup $windows_db S2 D")
expect "windows finds S2" 0 "$answer"
windows_s2=$(value "$answer")
expect "windows write-locks S2" 0 "$(windows "seclock $windows_s2 32")"
expect "linux is refused a write lock" -321 "$(linux "seclock $linux_s2 32")"
expect "linux is refused a read lock" -321 "$(linux "seclock $linux_s2 16")"
expect "windows unlocks S2" 0 "$(windows "secunlock $windows_s2")"
expect "linux now write-locks S2" 0 "$(linux "seclock $linux_s2 32")"
expect "windows is refused a full lock" -321 "$(windows "seclock $windows_s2 128")"
expect "linux unlocks S2" 0 "$(linux "secunlock $linux_s2")"
expect "windows read-locks S2" 0 "$(windows "seclock $windows_s2 16")"
expect "linux shares the read lock" 0 "$(linux "seclock $linux_s2 16")"
expect "windows unlocks" 0 "$(windows "secunlock $windows_s2")"
expect "linux unlocks" 0 "$(linux "secunlock $linux_s2")"
expect "windows closes the database" 0 "$(windows "close $windows_db")"
expect "linux closes the database" 0 "$(linux "close $linux_db")"
echo "native and Wine processes exclude each other's security locks"
