#!/usr/bin/env bash
# Runs every test: installs what is missing, builds and tests zarq natively,
# then with AddressSanitizer+UndefinedBehaviorSanitizer and with
# ThreadSanitizer, cross-builds the 64-bit and 32-bit Windows DLLs, checks
# their export tables and runs their test programs under Wine (the 32-bit
# ones where Debian's wine32 is installed), has native and Wine processes
# share byte-range locks, and fuzzes the decoders briefly.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)

# Stages and their elapsed times, summed up at the end (or at a failure).
stage_name=""
stage_start=$SECONDS
summary=()
end_stage() {
  [ -n "$stage_name" ] || return 0
  local took=$((SECONDS - stage_start))
  summary+=("$(printf '%3dm%02ds  %s' $((took / 60)) $((took % 60)) "$stage_name")")
  echo "-- $stage_name: ${took}s"
  stage_name=""
}
stage() {  # stage <title>: ends the running stage, starts the next
  end_stage
  stage_name=$1
  stage_start=$SECONDS
  echo "== $1"
}
wine_server=down
report() {
  local status=$?
  local failed=$stage_name
  [ $wine_server = down ] || wineserver -k || true
  end_stage
  echo "== elapsed per stage"
  printf '%s\n' "${summary[@]}"
  printf '%3dm%02ds  total\n' $((SECONDS / 60)) $((SECONDS % 60))
  if [ $status -eq 0 ]; then echo "== all tests passed"; else echo "== FAILED in: $failed"; fi
}
trap report EXIT

build() {  # build <dir> [cmake args...]
  local dir=$1; shift
  cmake -S "$here" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
run_tests() {  # run_tests <dir> [ctest args]: its ctest entries (5 minutes each at most)
  local dir=$1
  shift
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 "$@")
}

stage "setup"
"$here/scripts/setup.sh" all

stage "native (Linux)"
build build/native -DZARQ_BUILD_TESTS=ON -DZARQ_SANITIZE=OFF
run_tests build/native

# The Python package against the native build, with Debian's python3 (which
# Debian's NumPy and pandas serve), whatever python3 comes first in PATH.
stage "Python package (native library)"
ZARQ_LIBRARY=$here/build/native/libzarq.so ZARQ_COMMON_FILES=$here/build/native/share \
  /usr/bin/python3 -m unittest discover -s python/tests -t python

# Any finding ends the program with a failure, in the test programs and in
# the peers and death-test children they start (which inherit these).
# The command's own tests ran with the others above; here the build is
# installed and used as another project would.
stage "zarq command and the installed package"
(cd build/native && ctest --output-on-failure -R '^command$')
scripts/package-test.sh build/native

stage "native, AddressSanitizer + UndefinedBehaviorSanitizer"
build build/asan -DZARQ_BUILD_TESTS=ON -DZARQ_SANITIZE=address
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_tests build/asan

stage "native, ThreadSanitizer"
build build/tsan -DZARQ_BUILD_TESTS=ON -DZARQ_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run_tests build/tsan

# One Wine prefix inside the build tree for every Windows run (the
# toolchains' emulator, scripts/wine-run, uses it too). 32-bit programs
# need a prefix made after wine32 was installed: an older one is remade.
# Its server stays up across the Windows stages with Wine's own system
# processes started once, away from ctest's output: a test program that
# started them would otherwise be waited for until they end.
stage "Wine prefix"
export WINEPREFIX=$here/build/wine
have_wine32=no
dpkg -s wine32:i386 >/dev/null 2>&1 && have_wine32=yes
if [ $have_wine32 = yes ] && [ -d "$WINEPREFIX/drive_c" ] &&
   [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
  echo "remaking $WINEPREFIX (made without 32-bit support)"
  rm -rf "$WINEPREFIX"
fi
mkdir -p "$WINEPREFIX"
wineserver -k 2>/dev/null || true  # a server left by an interrupted run
wineserver -p
wine_server=up
scripts/wine-run wineboot </dev/null >/dev/null 2>&1 ||
  { echo "Wine does not start in $WINEPREFIX" >&2; exit 1; }

stage "Windows x86_64 (under Wine)"
build build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
  -DZARQ_BUILD_TESTS=ON -DZARQ_SANITIZE=OFF
scripts/check-exports.sh build/win64/zarq.dll x86_64-w64-mingw32-objdump
run_tests build/win64

stage "a native and a 64-bit Wine process sharing byte-range locks"
scripts/interop-test.sh win64

if [ $have_wine32 = yes ]; then
  stage "Windows i686 (under Wine)"
  build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
    -DZARQ_BUILD_TESTS=ON -DZARQ_SANITIZE=OFF
  scripts/check-exports.sh build/win32/zarq.dll i686-w64-mingw32-objdump
  # The crash points run on the same platform code as in the 64-bit stage,
  # a few minutes under Wine: here the unit, API and stress entries.
  run_tests build/win32 -E crash_points

  stage "a native and a 32-bit Wine process sharing byte-range locks"
  scripts/interop-test.sh win32
else
  stage "Windows i686 (export table only)"
  build build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
    -DZARQ_BUILD_TESTS=OFF -DZARQ_SANITIZE=OFF
  scripts/check-exports.sh build/win32/zarq.dll i686-w64-mingw32-objdump
  echo "(wine32 is not installed: the 32-bit test programs were not run)"
fi

wineserver -k
wine_server=down

stage "decoders under the fuzzer (AddressSanitizer)"
scripts/fuzz.sh 30
end_stage
