#!/bin/sh
# Lays eight moments of a whole-show capture side by side: the picture strip
# the README shows (docs/show-strip.jpg).
#
#   cd build/run && ./kelvane12-capture --fps 10 --every 10 --out /tmp/show
#   sh scripts/make-strip.sh /tmp/show docs/show-strip.jpg
#
# With --every 10 at 10 frames per second, frame N shows second N of the music.
# The frames can also come from a whole-show MP4 (kelvane12-capture --fps 10
# --video show.mp4), one per second the strip uses:
#
#   for s in 8 35 80 87 96 133 165 184; do
#     ffmpeg -ss $s -i show.mp4 -frames:v 1 "$(printf '/tmp/show/frame_%06d.png' $s)"
#   done
set -e
[ $# -eq 2 ] || { echo "usage: make-strip.sh CAPTURE_DIR OUT.jpg" >&2; exit 2; }
dir=$1
out=$2
# Title over the fluid, the rope bundles among the stars, the slow-motion
# overlay, the bonfire card, the soft body among the ropes, greetings over
# the second fluid, the chain among the ropes, the end screen.
seconds="8 35 80 87 96 133 165 184"
files=""
for s in $seconds; do
  f=$(printf '%s/frame_%06d.png' "$dir" "$s")
  [ -f "$f" ] || { echo "make-strip.sh: missing $f" >&2; exit 1; }
  files="$files $f"
done
# shellcheck disable=SC2086
montage $files -tile 4x2 -geometry 320x180+2+2 -background '#0a090a' -quality 85 "$out"
echo "wrote $out"
