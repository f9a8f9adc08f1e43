#!/usr/bin/env bash
# Installs what building and testing zarq needs, when it is missing.
# Usage: scripts/setup.sh [native|all]   (default all)
#   native: compiler, CMake, Ninja, GoogleTest, Google Benchmark
#   all:    also the mingw-w64 cross compilers, Wine and clang (fuzzing)
# Runs apt-get as root (directly, or through sudo when available).
set -euo pipefail
scope=${1:-all}

packages=(cmake ninja-build g++ make libgtest-dev libbenchmark-dev)
if [ "$scope" = all ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
             binutils-mingw-w64-x86-64 googletest wine wine64 clang
             libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "need root to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq || echo "apt-get update reported problems; trying the install anyway" >&2
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
