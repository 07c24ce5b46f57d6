#!/bin/sh
# Captures the same moments of the show with two builds and compares the
# frames pixel for pixel: the check that a change to the code's structure
# left every frame as it was. Each build is a run directory (the program, the
# capture tool and the generated assets); build the version to compare
# against once into its own directory, for example
#
#   git worktree add ../before HEAD && make -C ../before build
#   sh scripts/compare-captures.sh ../before/build/run build/run
#
# By default each moment is captured with --quick-start (the show started
# fresh at the moment), which takes about a minute per build; --full runs the
# show from its start for each, as the show plays it (much slower); --whole
# captures the whole show from its start to its end and compares every frame
# (about 1900 frames at 10 a second: a quarter of an hour or more per build).
# usage: sh scripts/compare-captures.sh [--full | --whole] [--fps N] BEFORE_RUN_DIR AFTER_RUN_DIR
set -eu

usage() {
  echo "usage: sh scripts/compare-captures.sh [--full | --whole] [--fps N] BEFORE_RUN_DIR AFTER_RUN_DIR" >&2
  exit 2
}

start=--quick-start
fps=10
# The moments compared: the first act's wire layer, the first post window,
# the rope bundles in slow motion and the end of the show.
ranges="20:21 63:64 110:111 176:177"
while [ $# -gt 0 ]; do
  case "$1" in
    --full) start=""; shift ;;
    --whole) start=""; ranges="whole"; shift ;;
    --fps) [ $# -ge 2 ] || usage; fps=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] || usage
before=$1
after=$2
for dir in "$before" "$after"; do
  [ -x "$dir/kelvane12-capture" ] || {
    echo "compare-captures.sh: no kelvane12-capture in $dir" >&2
    exit 1
  }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/compare-captures.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs the capture tool of run directory $1 over $2..$3 into $4 (the whole
# show where $2 is "whole"), on a virtual display where there is no real one.
capture() {
  mkdir -p "$4"
  if [ "$2" = whole ]; then span=""; else span="--from $2 --to $3"; fi
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    (cd "$1" && ./kelvane12-capture $start $span --fps "$fps" --out "$4")
  else
    (cd "$1" && xvfb-run -a -s "-screen 0 1280x720x24" \
      ./kelvane12-capture $start $span --fps "$fps" --out "$4")
  fi >"$4.log" 2>&1 || {
    echo "compare-captures.sh: the capture in $1 of $2..$3 s failed:" >&2
    tail -5 "$4.log" >&2
    exit 1
  }
}

# The absolute path of a directory, since the captures run in the run directory.
absolute() { (cd "$1" && pwd); }
before=$(absolute "$before")
after=$(absolute "$after")

differing=0
compared=0
for range in $ranges; do
  from=${range%:*}
  to=${range#*:}
  if [ "$from" = whole ]; then
    echo "capturing the whole show at $fps fps (before, after): this takes a while"
  else
    echo "capturing $from..$to s at $fps fps (before, after)"
  fi
  capture "$before" "$from" "$to" "$work/before-$from"
  capture "$after" "$from" "$to" "$work/after-$from"
  count=$(ls "$work/before-$from" | wc -l)
  [ "$count" -gt 0 ] || { echo "compare-captures.sh: no frames of $from..$to s" >&2; exit 1; }
  [ "$count" -eq "$(ls "$work/after-$from" | wc -l)" ] || {
    echo "$from..$to s: the two captures wrote different numbers of frames"
    differing=$((differing + 1))
    continue
  }
  for frame in "$work/before-$from"/*.png; do
    name=$(basename "$frame")
    compared=$((compared + 1))
    # PNG files of the same pixels from the same encoder are the same bytes;
    # where they are not, compare the decoded pixels before calling it a change.
    if cmp -s "$frame" "$work/after-$from/$name"; then continue; fi
    pixels=$(compare -metric AE "$frame" "$work/after-$from/$name" null: 2>&1 || true)
    if [ "$pixels" != "0" ]; then
      echo "$from..$to s: $name differs in $pixels pixels"
      differing=$((differing + 1))
    fi
  done
done

if [ "$differing" -ne 0 ]; then
  echo "compare-captures.sh: $differing of $compared frames differ"
  exit 1
fi
echo "compare-captures.sh: all $compared frames are identical"
