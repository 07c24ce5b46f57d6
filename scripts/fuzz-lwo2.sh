#!/bin/sh
# Builds the LWO2 loader's libFuzzer target with clang, writes its seed files
# (made by tests/fuzz/write_seeds.cpp) and runs it from them for a bounded time.
# usage: fuzz-lwo2.sh BUILDDIR [SECONDS]
set -e
[ $# -ge 1 ] || { echo "usage: $0 BUILDDIR [SECONDS]" >&2; exit 2; }
src=$(cd "$(dirname "$0")/.." && pwd)
out=$1
seconds=${2:-20}
mkdir -p "$out/corpus" "$out/seeds"
clang++ -std=c++17 -O1 -I"$src" "$src/tests/fuzz/write_seeds.cpp" -o "$out/lwo2-fuzz-seeds"
"$out/lwo2-fuzz-seeds" "$out/seeds"
echo "fuzz-lwo2: building $out/lwo2-fuzz"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I"$src" \
  "$src/tests/fuzz/lwo2_fuzz.cpp" "$src/objects/lwo2_loader.cpp" "$src/objects/soft_object.cpp" "$src/core/fatal.cpp" \
  -o "$out/lwo2-fuzz"
echo "fuzz-lwo2: running for $seconds s"
# New inputs go to the scratch corpus; the seeds are only read.
"$out/lwo2-fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  "$out/corpus" "$out/seeds"
