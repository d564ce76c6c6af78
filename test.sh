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
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite asan -- -DCMAKE_BUILD_TYPE=Debug -DHALDEN_SANITIZE=address -DHALDEN_BUILD_BENCH=OFF
if [ "${1:-}" = --tsan ]; then
  TSAN_OPTIONS=halt_on_error=1 \
    run_suite tsan -- -DCMAKE_BUILD_TYPE=Debug -DHALDEN_SANITIZE=thread -DHALDEN_BUILD_BENCH=OFF
fi
echo "All tests passed."
