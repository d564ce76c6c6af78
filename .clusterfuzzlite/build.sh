#!/bin/bash -eu
# Builds the libFuzzer targets of tests/fuzz with the toolchain and flags the
# fuzzing service gives ($CC, $CXX, $CFLAGS, $CXXFLAGS, $LIB_FUZZING_ENGINE)
# and puts them in $OUT with their seed corpora and dictionaries.
# Locally: CC=clang CXX=clang++ CFLAGS="-fsanitize=address,fuzzer-no-link" \
#   CXXFLAGS="-fsanitize=address,fuzzer-no-link" LIB_FUZZING_ENGINE=-fsanitize=fuzzer \
#   SRC=$PWD/.. OUT=/tmp/out WORK=/tmp/work .clusterfuzzlite/build.sh
src=${SRC}/halden
[ -d "$src" ] || src=$(cd "$(dirname "$0")/.." && pwd)
work=${WORK:-/tmp}/halden-build
cmake -S "$src" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" \
  -DHALDEN_FUZZ=ON -DHALDEN_FUZZ_ENGINE="$LIB_FUZZING_ENGINE" \
  -DHALDEN_BUILD_DESKTOP=OFF -DHALDEN_BUILD_BENCH=OFF
cmake --build "$work" --target fuzz
mkdir -p "$OUT"
for corpus in "$src"/tests/fuzz/corpus/*/; do
  name=$(basename "$corpus")
  cp "$work/tests/fuzz/$name" "$OUT/"
  (cd "$corpus" && zip -q -r "$OUT/${name}_seed_corpus.zip" .)
  if [ -f "$src/tests/fuzz/$name.dict" ]; then
    cp "$src/tests/fuzz/$name.dict" "$OUT/"
  fi
done
# Whole EEPROM images are the inputs of store_image.
printf '[libfuzzer]\nmax_len = 40000\n' > "$OUT/store_image.options"
echo "built: $(ls "$OUT")"
