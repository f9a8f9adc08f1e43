#!/usr/bin/env bash
# A native Linux process and a Windows process under Wine lock ranges of one
# file in one folder: each must see the other's locks (both end up as POSIX
# locks on the same file). Needs build/native and build/win64 with tests.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
native=$here/build/native/tests/zarq_peer
windows=$here/build/win64/tests/zarq_peer.exe
[ -x "$native" ] && [ -f "$windows" ] || { echo "peers not built"; exit 1; }
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
winfolder="Z:$(echo "$folder" | tr / '\\')"
export WINEDEBUG=-all

coproc LINUX { "$native"; } 2>/dev/null
{ coproc WINDOWS { wine "$windows"; } 2>/dev/null; } 2>/dev/null  # bash warns of a second coprocess

ask() {  # ask <in-fd> <out-fd> <command> -> prints the status
  echo "$3" >&"$1"
  local line
  read -r -t 60 line <&"$2"
  line=${line%$'\r'}
  echo "${line#= }" | cut -d' ' -f1
}
expect() {  # expect <what> <want> <got>
  if [ "$2" != "$3" ]; then echo "FAILED: $1: wanted $2, got $3"; exit 1; fi
  echo "ok: $1"
}

expect "linux init" 0 "$(ask "${LINUX[1]}" "${LINUX[0]}" "init Linux Side")"
expect "windows init" 0 "$(ask "${WINDOWS[1]}" "${WINDOWS[0]}" "init Windows Side")"
expect "linux open" 1 "$(ask "${LINUX[1]}" "${LINUX[0]}" "open $folder 0")"
expect "windows open" 1 "$(ask "${WINDOWS[1]}" "${WINDOWS[0]}" "open $winfolder 0")"
expect "windows locks 0..99" 0 "$(ask "${WINDOWS[1]}" "${WINDOWS[0]}" "lock 1 shared.bin 0 100 2")"
expect "linux is refused 50..59" -325 "$(ask "${LINUX[1]}" "${LINUX[0]}" "lock 1 shared.bin 50 10 2")"
expect "linux locks 200..209" 0 "$(ask "${LINUX[1]}" "${LINUX[0]}" "lock 1 shared.bin 200 10 2")"
expect "windows is refused 205..214" -325 "$(ask "${WINDOWS[1]}" "${WINDOWS[0]}" "lock 1 shared.bin 205 10 2")"
expect "windows unlocks" 0 "$(ask "${WINDOWS[1]}" "${WINDOWS[0]}" "unlock 1 shared.bin 0 100")"
expect "linux now locks 50..59" 0 "$(ask "${LINUX[1]}" "${LINUX[0]}" "lock 1 shared.bin 50 10 2")"
ask "${LINUX[1]}" "${LINUX[0]}" "exit" >/dev/null
ask "${WINDOWS[1]}" "${WINDOWS[0]}" "exit" >/dev/null
echo "native and Wine processes exclude each other's byte ranges"
