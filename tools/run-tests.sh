#!/bin/sh
# Builds Pelmora with warnings as errors and runs every test.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
set -e
cd "$(dirname "$0")/.."
BUILD_DIR=build
EXTRA=
if [ "$1" = "--sanitize" ]; then
  BUILD_DIR=build-asan
  EXTRA="-DPELMORA_SANITIZE=ON"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS="suppressions=$(pwd)/tools/lsan.supp:print_suppressions=0"
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_WERROR=ON $EXTRA >/dev/null
cmake --build "$BUILD_DIR"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
