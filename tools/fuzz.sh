#!/usr/bin/env bash
# Runs a long libFuzzer campaign on one target and keeps what it found new:
# the new inputs are merged (minimised) into tests/fuzz/corpus/TARGET.
#   tools/fuzz.sh TARGET [SECONDS]     default one hour
# Targets: the directories of tests/fuzz/corpus. A crash leaves its input as
# crash-* in the current directory; turn it into a regression seed in the
# corpus once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET [SECONDS]}
seconds=${2:-3600}
[ -d "tests/fuzz/corpus/$target" ] || { echo "no such target: $target (see tests/fuzz/corpus)"; exit 2; }

cmake -S . -B build/fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DHALDEN_FUZZ=ON -DHALDEN_BUILD_DESKTOP=OFF -DHALDEN_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz --target "$target"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dict=()
[ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
max_len=4096
[ "$target" = store_image ] && max_len=40000
"build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -max_len=$max_len -print_final_stats=1 \
  "${dict[@]}" "$work" "tests/fuzz/corpus/$target"
# Keep only inputs that add coverage to what the corpus already has.
"build/fuzz/tests/fuzz/$target" -merge=1 -max_len=$max_len "tests/fuzz/corpus/$target" "$work"
