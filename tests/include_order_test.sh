#!/bin/sh
# The show's folders form layers that include only downwards. A file may
# include headers of its own folder and of the folders before it in this
# order, never of one after it:
#
#   core  objects  particles  overlays  render  scenes  runtime
#
# core/ is the bottom (time windows, random numbers, ticks, the music clock
# and audio, GL helpers); runtime/ is the top (main, start-up, frame loop,
# director, key track), which wires the rest together. Every `#include "…"`
# of the show's sources is read; an include that runs against the order is
# reported with its file and line, and the check fails.
# usage: sh tests/include_order_test.sh [SOURCE_DIR]
#        sh tests/include_order_test.sh --self-test SOURCE_DIR
set -eu
layers="core objects particles overlays render scenes runtime"

# Position of a folder in the order, or nothing for a folder outside it.
rank() {
  i=0
  for layer in $layers; do
    [ "$layer" = "$1" ] && { echo $i; return; }
    i=$((i + 1))
  done
}

# Checks the tree at $1; prints each upward include and returns 1 if any.
check() {
  bad=0
  for layer in $layers; do
    [ -d "$1/$layer" ] || { echo "include order: no folder $layer/ in $1"; return 1; }
    own=$(rank "$layer")
    for file in $(cd "$1" && find "$layer" -name '*.cpp' -o -name '*.h' | sort); do
      # line number and included path of every quoted include
      out=$(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]*"/) {
                   s = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", s); sub(/"$/, "", s)
                   print FNR " " s }' "$1/$file")
      [ -n "$out" ] || continue
      while read -r line path; do
        folder=${path%%/*}
        [ "$folder" != "$path" ] || continue  # a header beside the file
        other=$(rank "$folder")
        [ -n "$other" ] || continue           # a system or tool header
        if [ "$other" -gt "$own" ]; then
          echo "$file:$line: includes $path, but $folder/ lies above $layer/" \
               "(order: $layers)"
          bad=1
        fi
      done <<EOT
$out
EOT
    done
  done
  return $bad
}

if [ "${1:-}" = "--self-test" ]; then
  # The check must find an upward include planted in a copy of the tree.
  [ $# -eq 2 ] || { echo "usage: include_order_test.sh --self-test SOURCE_DIR" >&2; exit 2; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/include-order.XXXXXX")
  trap 'rm -rf "$work"' EXIT INT TERM
  for layer in $layers; do cp -R "$2/$layer" "$work/"; done
  check "$work" >/dev/null || { echo "self-test: the tree as it is fails"; exit 1; }
  printf '\n#include "runtime/frame_loop.h"\n' >>"$work/core/timeline.cpp"
  if report=$(check "$work"); then
    echo "self-test: an include of runtime/ from core/ went unnoticed"
    exit 1
  fi
  case "$report" in
    *"core/timeline.cpp:"*"runtime/frame_loop.h"*) echo "self-test: found $report" ;;
    *) echo "self-test: the report does not name the file and line: $report"; exit 1 ;;
  esac
  exit 0
fi

root=${1:-$(dirname "$0")/..}
check "$root" && echo "include order: every include of the show follows: $layers"
