#!/bin/sh
# Builds each program on its own in a fresh build directory (cmake --build
# --target NAME), as someone who wants only that program would: a target that
# leaves out one of its dependencies fails here even when a full build passes.
# The builds share one compiler cache of their own (ccache), so a source file
# that several programs need is compiled once; each build directory still
# starts empty, so every missing dependency still shows.
# usage: sh scripts/check-single-targets.sh [TARGET...]   (default: every program)
set -eu
cd "$(dirname "$0")/.."
programs="kelvane12 kelvane12-fixed kelvane12-capture kelvane12-fieldshot kelvane12-meshinfo"
programs="$programs kelvane12-assetgen kelvane12-choreograph"
targets=${*:-$programs}
work=$(mktemp -d "${TMPDIR:-/tmp}/single-targets.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
jobs=$(nproc)
launcher=""
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_DIR="$work/ccache" CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
for target in $targets; do
  echo "single-target build: $target"
  dir="$work/$target"
  if ! { cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo $launcher >"$dir.log" 2>&1 &&
         cmake --build "$dir" --target "$target" -j"$jobs" >>"$dir.log" 2>&1; }; then
    echo "single-target build: $target does not build on its own:" >&2
    tail -20 "$dir.log" >&2
    exit 1
  fi
  rm -rf "$dir"
done
echo "single-target build: every target builds on its own"
