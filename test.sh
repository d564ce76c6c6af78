#!/usr/bin/env bash
# Builds and runs every test on a fresh Debian 12 machine: installs what is
# missing, then runs the suite in a normal build and again under
# AddressSanitizer + UndefinedBehaviorSanitizer.
#   ./test.sh          normal and ASan/UBSan runs
#   ./test.sh --tsan   also a ThreadSanitizer build (every test drives the firmware thread)
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {  # name, ctest arguments..., then cmake options after --
  local dir=build/$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do ctest_args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure "${ctest_args[@]}"
}

run_suite release -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
# intercept_tls_get_addr=0: GCC 12's sanitizer runtime can take a dynamic
# TLS block of a shared library (Qt's) for an old glibc header and crash
# LeakSanitizer's tracer at exit ("Tracer caught signal 11"), now and then,
# after every test has passed.
ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite asan -- -DCMAKE_BUILD_TYPE=Debug -DHALDEN_SANITIZE=address -DHALDEN_BUILD_BENCH=OFF
if [ "${1:-}" = --tsan ]; then
  TSAN_OPTIONS=halt_on_error=1 \
    run_suite tsan -- -DCMAKE_BUILD_TYPE=Debug -DHALDEN_SANITIZE=thread -DHALDEN_BUILD_BENCH=OFF
fi
# The libFuzzer targets, briefly, when clang is there: a fixed number of
# inputs each, grown from the seed corpus in a scratch directory.
if command -v clang++ >/dev/null 2>&1; then
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DHALDEN_FUZZ=ON -DHALDEN_BUILD_DESKTOP=OFF -DHALDEN_BUILD_BENCH=OFF >/dev/null
  cmake --build build/fuzz -j "$jobs" --target fuzz
  for corpus in tests/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    scratch=$(mktemp -d)
    runs=10000
    # bus reads back the whole image file for every input; store_image loads
    # a whole image over the bit-level bus (and some inputs initialise it).
    [ "$name" = bus ] && runs=1000
    [ "$name" = store_image ] && runs=1000
    # Every input runs the firmware thread through its commands.
    [ "$name" = remote ] && runs=3000
    # Whole scenario texts of up to 4 KB, many lines each.
    [ "$name" = scenario_parse ] && runs=3000
    # Whole EEPROM images, so that the seeds are not cut short.
    max_len=4096
    [ "$name" = store_image ] && max_len=40000
    dict=()
    [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
    ASAN_OPTIONS=detect_leaks=1 "build/fuzz/tests/fuzz/$name" -runs=$runs -max_len=$max_len "${dict[@]}" \
      -print_final_stats=1 "$scratch" "$corpus"
    rm -rf "$scratch"
  done
fi
echo "All tests passed."
