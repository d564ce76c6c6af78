#!/usr/bin/env bash
# Runs a long libFuzzer campaign on one target and keeps what it found new:
# the new inputs are merged (minimised) into tests/fuzz/corpus/TARGET.
#   tools/fuzz.sh TARGET [SECONDS [INPUTS]]
# The campaign ends after SECONDS (default one hour) or INPUTS executed
# inputs (default no limit), whichever comes first. The targets are built
# optimised (with the sanitizers) in build/fuzz-campaign, apart from the
# debug build test.sh uses, and the final statistics are printed.
# Targets: the directories of tests/fuzz/corpus. A crash leaves its input as
# crash-* in the current directory; turn it into a regression seed in the
# corpus once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET [SECONDS [INPUTS]]}
seconds=${2:-3600}
inputs=${3:--1}
[ -d "tests/fuzz/corpus/$target" ] || { echo "no such target: $target (see tests/fuzz/corpus)"; exit 2; }

build=build/fuzz-campaign
cmake -S . -B $build -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALDEN_FUZZ=ON -DHALDEN_BUILD_DESKTOP=OFF -DHALDEN_BUILD_BENCH=OFF >/dev/null
cmake --build $build --target "$target"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dict=()
[ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
max_len=4096
# Whole EEPROM images and a little more.
[ "$target" = store_image ] && max_len=40000
# Register values (245 bytes) and a script text of up to about 780
# characters, five times the longest screen's: longer texts only repeat
# commands, and each screen clear in them costs a whole display's writes.
[ "$target" = display_script ] && max_len=1024
# Thirty-two command lines of the longest the instrument takes (32 bytes).
[ "$target" = remote ] && max_len=1024
status=0
"$build/tests/fuzz/$target" -max_total_time="$seconds" -runs="$inputs" -max_len=$max_len -print_final_stats=1 \
  "${dict[@]}" "$work" "tests/fuzz/corpus/$target" || status=$?
# Keep only inputs that add coverage to what the corpus already has; also
# after a campaign stopped with Ctrl+C or by a crash, so that nothing it
# found is lost. The campaign's own exit status is the script's.
"$build/tests/fuzz/$target" -merge=1 -max_len=$max_len "tests/fuzz/corpus/$target" "$work"
exit $status
