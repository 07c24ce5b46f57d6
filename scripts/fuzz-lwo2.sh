#!/bin/sh
# Builds the LWO2 loader's libFuzzer target with clang and runs it over the
# committed seed corpus for a bounded time.
# usage: fuzz-lwo2.sh BUILDDIR [SECONDS]
set -e
[ $# -ge 1 ] || { echo "usage: $0 BUILDDIR [SECONDS]" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
out=$1
seconds=${2:-20}
mkdir -p "$out/corpus"
echo "fuzz-lwo2: building $out/lwo2-fuzz"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I"$src" \
  "$src/tests/fuzz/lwo2_fuzz.cpp" "$src/objects/lwo2_loader.cpp" "$src/objects/soft_object.cpp" "$src/tests/no_gl_draw.cpp" \
  -o "$out/lwo2-fuzz"
echo "fuzz-lwo2: running for $seconds s"
# New inputs go to the scratch corpus; the committed seeds are only read.
"$out/lwo2-fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  "$out/corpus" "$src/tests/fuzz_corpus"
