#!/bin/sh
# Reference frames: moments of the show rendered by the capture tool and
# compared with the pictures kept in reference-frames/ (beside tests/), so that a change
# to what a frame looks like cannot pass unseen.
#
# Each moment of reference_frames.txt is captured with --quick-start (the show started
# fresh a few frames before it, at 10 frames a second) at 640x360, and its last
# frame compared with the reference tile by tile (k12-frame-compare): the mean
# absolute difference of the colour channels (0 to 255) in every 16x16 tile
# and over the whole frame. The tolerance, a tile mean of 16 and a frame mean
# of 0.35, was measured by rendering every reference three ways: llvmpipe with
# one thread (LP_NUM_THREADS=1) and with its default threads gave identical
# pixels; the layers' scale changed by one ulp (4.5 -> 4.50000048) moved a few
# edge-on rope quads, at worst a tile mean of 9.7 and a frame mean of 0.12
# (the pause moment). The tolerance sits half as high again for the tile and
# three times for the frame: room for another Mesa release's rounding, while a
# fault a viewer would notice moves whole tiles by tens of levels.
#
# usage: sh tests/reference_frames.sh --check RUNDIR COMPARE [REPORTDIR]
#        sh tests/reference_frames.sh --self-test RUNDIR COMPARE
#        sh tests/reference_frames.sh --update RUNDIR COMPARE [SHEET.png]
#   --check      compare every moment; on a difference write reference | frame
#                | difference pictures into REPORTDIR and name the moment and tiles
#   --self-test  plant a visible change (a card drawn over one frame) and
#                expect the check to fail with the moment named
#   --update     render new references into reference-frames/ and write
#                a contact sheet of old | new | difference for every moment
# RUNDIR holds kelvane12-capture and the assets, COMPARE is k12-frame-compare.
set -u
here=$(cd "$(dirname "$0")" && pwd)
refs=$(dirname "$here")/reference-frames
table=$here/reference_frames.txt
usage() { sed -n '18,27p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[ $# -ge 3 ] || usage
mode=$1 run=$(cd "$2" && pwd) extra=${4:-}
compare=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
case $mode in --check|--self-test|--update) ;; *) usage ;; esac
[ -x "$run/kelvane12-capture" ] || { echo "reference_frames: no kelvane12-capture in $run" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/k12-frames.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Renders one moment into $work/NAME.png: the show started fresh FRAMES - 1
# frames before SECONDS (the loader from its start), its last frame kept.
# FRAMES is a count of frames at 10 a second, or COUNT@RATE for another rate
# (a low rate lets the particle field's fluid and clock move in few frames).
render() {  # NAME SECONDS FRAMES
  name=$1 seconds=$2 frames=${3%@*} rate=10 out=$work/cap-$1
  case $3 in *@*) rate=${3#*@} ;; esac
  rm -rf "$out" && mkdir -p "$out"
  if [ "$seconds" = loader ]; then
    range="--loader --from 0 --to 0"
  else
    range="--from $(awk -v s="$seconds" -v n="$frames" -v r="$rate" 'BEGIN { printf "%.2f", s - (n - 1) / r }') --to $seconds"
  fi
  # shellcheck disable=SC2086 # the range is a list of options
  if ! (cd "$run" && ./kelvane12-capture --quick-start $range --fps "$rate" --size 640x360 --out "$out") \
      >"$out.log" 2>&1; then
    echo "reference_frames: the capture of $name failed:" >&2
    tail -n 5 "$out.log" >&2
    exit 1
  fi
  if [ "$seconds" = loader ]; then last=$(ls "$out" | sed -n "${frames}p"); else last=$(ls "$out" | tail -n 1); fi
  [ -n "$last" ] || { echo "reference_frames: no frame of $name" >&2; exit 1; }
  mv "$out/$last" "$work/$name.png" && rm -rf "$out" "$out.log"
}

# The moments: name, seconds (or "loader"), frames rendered, what it shows.
moments() { grep -v '^#' "$table" | grep -v '^ *$'; }

# Compares every moment; says which differ. $1: report directory or "".
check() {
  failed=0 count=0
  [ -z "$1" ] || mkdir -p "$1" || exit 1
  while read -r name seconds frames what; do
    count=$((count + 1))
    render "$name" "$seconds" "$frames"
    [ -z "${PLANT:-}" ] || [ "$name" != "$PLANT" ] ||
      convert "$work/$name.png" -fill '#c02020' -draw 'rectangle 200,120 280,180' "$work/$name.png"
    report=""
    [ -z "$1" ] || { report=$1/$name.png && rm -f "$report"; }
    if result=$("$compare" ${report:+--report "$report"} "$refs/$name.png" "$work/$name.png"); then
      echo "same       $name ($seconds): $result"
    else
      failed=$((failed + 1))
      echo "DIFFERENT  $name ($seconds, $what): $result${report:+; see $report}"
      # A mutation run needs only to know that some moment differs.
      [ -z "${K12_FIRST_DIFFERENCE_ENDS:-}" ] || break
    fi
  done <<EOF
$(moments)
EOF
  [ $failed -eq 0 ] || { echo "reference_frames: $failed of $count moments differ from their references"; return 1; }
  echo "reference_frames: every moment matches its reference"
}

case $mode in
--check)
  check "$extra"
  ;;
--self-test)
  # One moment only, with a visible mark planted in its frame.
  name=$(moments | head -n 3 | tail -n 1 | cut -d' ' -f1)
  moments | grep "^$name " >"$work/one.txt"
  table=$work/one.txt
  out=$(PLANT=$name check "$work/report")
  rc=$?
  echo "$out"
  [ $rc -ne 0 ] || { echo "FAIL: a planted mark in $name was not found"; exit 1; }
  echo "$out" | grep -q "^DIFFERENT  $name " || { echo "FAIL: the moment $name was not named"; exit 1; }
  [ -s "$work/report/$name.png" ] || { echo "FAIL: no side-by-side picture for $name"; exit 1; }
  echo "ok: a planted mark in $name is reported"
  ;;
--update)
  sheet=${extra:-$PWD/reference-frames-sheet.png}
  set --
  while read -r name seconds frames what; do
    echo "rendering $name ($seconds s): $what"
    render "$name" "$seconds" "$frames"
    old=$refs/$name.png
    if [ ! -f "$old" ]; then  # a new moment: nothing to show on the old side
      old=$work/old-$name.png
      convert -size 640x360 xc:gray20 "$old"
    fi
    convert "$old" "$work/$name.png" -compose difference -composite -evaluate multiply 8 \
      "$work/diff-$name.png"
    at="$seconds s" && [ "$seconds" != loader ] || at="from the start"
    convert "$old" "$work/$name.png" "$work/diff-$name.png" +append -resize 50% \
      -gravity northwest -background black -splice 0x18 -fill white -pointsize 12 \
      -annotate +4+2 "$name ($at): $what    old | new | difference x8" "$work/row-$name.png"
    set -- "$@" "$work/row-$name.png"
  done <<EOF
$(moments)
EOF
  for row in "$@"; do
    name=$(basename "$row" .png) && name=${name#row-}
    cp "$work/$name.png" "$refs/$name.png" || exit 1
  done
  convert "$@" -append "$sheet" || exit 1
  echo "reference_frames: $# references written to $refs; contact sheet $sheet (look at it before committing)"
  ;;
esac
