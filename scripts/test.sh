#!/usr/bin/env bash
# Runs every test: installs what is missing, builds and tests zarq natively,
# cross-builds the 64-bit and 32-bit Windows DLLs, checks their export
# tables, and runs the 64-bit test programs under Wine (the 32-bit ones too
# where Debian's wine32 is installed).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/scripts/setup.sh" all
jobs=$(nproc 2>/dev/null || echo 2)
export WINEDEBUG=-all

build() {  # build <dir> [cmake args...]
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

echo "== native (Linux)"
build build/native
(cd build/native && ctest --output-on-failure -j "$jobs")

echo "== Windows x86_64 (under Wine)"
build build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
scripts/check-exports.sh build/win64/zarq.dll x86_64-w64-mingw32-objdump
(cd build/win64 && ctest --output-on-failure -j "$jobs")

echo "== a native and a Wine process sharing byte-range locks"
scripts/interop-test.sh

echo "== Windows i686"
if dpkg -s wine32:i386 >/dev/null 2>&1; then
  build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
  scripts/check-exports.sh build/win32/zarq.dll i686-w64-mingw32-objdump
  (cd build/win32 && ctest --output-on-failure -j "$jobs")
else
  build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DZARQ_BUILD_TESTS=OFF
  scripts/check-exports.sh build/win32/zarq.dll i686-w64-mingw32-objdump
  echo "(wine32 is not installed: the 32-bit test programs were not run)"
fi
echo "== decoders under the fuzzer (AddressSanitizer)"
scripts/fuzz.sh 30

echo "== all tests passed"
