#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test.
#   scripts/test.sh             GCC, warnings are errors, build/test
#   scripts/test.sh --sanitize  Clang with AddressSanitizer and UBSan, build/asan
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build/asan
  export CC=clang CXX=clang++
  extra=(-DTESSARAN_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
else
  dir=build/test
  extra=()
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARAN_WERROR=ON "${extra[@]}"
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"
