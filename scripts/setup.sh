#!/usr/bin/env bash
# Installs what building and testing zarq needs, when it is missing.
# Usage: scripts/setup.sh [native|all]   (default all)
#   native: compiler (with its sanitizer runtimes), CMake, Ninja, gencat
#           (message catalogs), GoogleTest, Google Benchmark, SQLite (which
#           benchmarks compare with), Python's NumPy and pandas (the Python
#           package and its tests, run with the system python3)
#   all:    also the mingw-w64 cross compilers and binutils (windres for
#           the message DLL), Wine (with the 32-bit
#           wine32:i386 where it can be installed) and clang (fuzzing)
# Runs apt-get as root (directly, or through sudo when available).
set -euo pipefail
scope=${1:-all}

packages=(cmake ninja-build g++ make libc-bin libgtest-dev libbenchmark-dev libsqlite3-dev)
packages+=(python3 python3-numpy python3-pandas)
# The zarq command's argument parser and CSV reader; pkg-config for the
# installed-package test.
packages+=(libcli11-dev libcsv-dev pkg-config)
if [ "$scope" = all ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
             binutils-mingw-w64-x86-64 googletest wine wine64 clang
             libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The 32-bit test programs run on the i386 Wine loader (amd64 hosts only).
want_wine32=no
if [ "$scope" = all ] && [ "$(dpkg --print-architecture)" = amd64 ] &&
   ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  want_wine32=yes
fi
[ ${#missing[@]} -eq 0 ] && [ $want_wine32 = no ] && exit 0

wine32_unavailable() {
  echo "note: wine32:i386 could not be installed ($1): the 32-bit DLL will be" \
       "built and its export table checked, but its test programs will not run" >&2
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    if [ ${#missing[@]} -eq 0 ]; then wine32_unavailable "not root"; exit 0; fi
    echo "need root to install: ${missing[*]}" >&2; exit 1
  fi
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive

# The i386 architecture first, so that one update fetches every list.
if [ $want_wine32 = yes ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386 || { wine32_unavailable "i386 not added"; want_wine32=no; }
fi
$sudo apt-get update -qq || echo "apt-get update reported problems; trying the install anyway" >&2
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ $want_wine32 = yes ]; then
  echo "installing: wine32:i386"
  $sudo apt-get install -y -qq --no-install-recommends wine32:i386 ||
    wine32_unavailable "apt-get failed"
fi
exit 0
