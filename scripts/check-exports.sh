#!/usr/bin/env bash
# Checks the export table of a built zarq.dll against win32/zarq.def: every
# named export present under its plain name (no @n decoration), every
# NONAME ordinal present without a name, nothing else exported by name.
# First zarq.def itself: all eighteen private operations (200..217) by
# ordinal only, and exactly the named exports the sources define.
# Usage: scripts/check-exports.sh path/to/zarq.dll [objdump]
set -euo pipefail
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
here=$(cd "$(dirname "$0")/.." && pwd)
def=$here/win32/zarq.def

table=$("$objdump" -p "$dll")
base=$(sed -n 's/.*Ordinal Base \([0-9]*\).*/\1/p' <<<"$table")
# Ordinals present: "[   0] +base[   1] 1ff0 Export RVA"
present=$(sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p' <<<"$table" | sort -n)
# Names and their ordinals: "[   0] ZARQ1_Initialize" under the name table.
names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" |
  sed -n 's/^\s*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p' |
  awk -v b="$base" '{print $1 + b, $2}')

fail=0
for number in $(seq 200 217); do
  if ! grep -qE "^  [A-Za-z0-9_]+@[0-9]+ @$number NONAME$" "$def"; then
    echo "zarq.def lacks private operation $number"; fail=1
  fi
done
defined=$(grep -rhoE 'ZARQ_API [^(]*ZARQ_CALL\s+ZARQ[12]_[A-Za-z0-9]+' "$here/src" |
  sed 's/.* //' | sort -u)
listed=$(sed -n 's/^  \(ZARQ[12]_[A-Za-z0-9]*\)@[0-9]* @[0-9]*$/\1/p' "$def" | sort -u)
if [ "$defined" != "$listed" ]; then
  echo "named exports of the sources and of zarq.def differ (< sources, > zarq.def):"
  diff <(echo "$defined") <(echo "$listed") | grep '^[<>]' || true
  fail=1
fi

while read -r symbol ordinal flag; do
  plain=${symbol%@*}
  number=${ordinal#@}
  if ! grep -qx "$number" <<<"$present"; then
    echo "missing ordinal $number ($plain)"; fail=1
  fi
  if [ "$flag" = NONAME ]; then
    if grep -q "^$number " <<<"$names"; then
      echo "ordinal $number ($plain) must have no name"; fail=1
    fi
  elif ! grep -qx "$number $plain" <<<"$names"; then
    echo "named export $plain missing at ordinal $number"; fail=1
  fi
done < <(sed -n 's/^  \([A-Za-z0-9_@]*\) \(@[0-9]*\)\( NONAME\)\{0,1\}$/\1 \2\3/p' "$def")

if grep -q '@' <<<"$names"; then
  echo "decorated names exported:"; grep '@' <<<"$names"; fail=1
fi
expected=$(grep -vc NONAME < <(sed -n 's/^  \([A-Za-z0-9_@]*\) @[0-9]*.*$/&/p' "$def"))
actual=$(grep -c . <<<"$names" || true)
if [ "$expected" != "$actual" ]; then
  echo "expected $expected named exports, found $actual"; fail=1
fi
[ $fail -eq 0 ] && echo "export table of $dll: OK ($actual names, $(grep -c . <<<"$present") ordinals)"
exit $fail
