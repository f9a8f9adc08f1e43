#!/usr/bin/env bash
# Installs a native build into a fresh prefix and uses it as others would:
# the installed zarq command makes a database from the sample data (and
# finds its message texts), and a small C program is built against the
# installed library through find_package(zarq) and through pkg-config, and
# reads the bars back.
# Usage: scripts/package-test.sh [build-dir]   (default build/native, built)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Absolute: the consumer builds run from other folders.
build=$(cd "${1:-$here/build/native}" && pwd)
work=$build/package
rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

db=$work/db
"$prefix/bin/zarq" create "$db"
"$prefix/bin/zarq" import "$db" "$here/tests/tools/data/msft-2000-2001-daily.csv" --symbol MSFT
# The library's own message text, from the installed catalog.
if "$prefix/bin/zarq" show "$db" NOPE 2>"$work/error.txt"; then
  echo "zarq show of a missing symbol succeeded" >&2; exit 1
fi
grep -q "The security does not exist" "$work/error.txt" ||
  { echo "no message text: $(cat "$work/error.txt")" >&2; exit 1; }

echo "-- find_package(zarq)"
cmake -S "$here/tests/consumer" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/read_bars" "$db" MSFT

echo "-- pkg-config zarq"
libdir=$(dirname "$(find "$prefix" -name zarq.pc)")
# shellcheck disable=SC2046
cc -Wall -Werror -o "$work/read_bars_pc" "$here/tests/consumer/read_bars.c" \
  $(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs zarq)
LD_LIBRARY_PATH=$(dirname "$libdir") "$work/read_bars_pc" "$db" MSFT
echo "-- the installed package works both ways"
