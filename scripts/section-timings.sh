#!/bin/sh
# Times the show section by section with the capture tool (no frames written)
# and prints a Markdown table of the median and the worst (slowest) frame time.
#
#   sh scripts/section-timings.sh build/run [SECONDS_PER_SECTION] [FPS]
#
# Each section is captured from its own start (--quick-start): the simulations
# begin afresh there, which changes the pictures but not the work a frame does.
set -u
[ $# -ge 1 ] || { echo "usage: section-timings.sh RUNDIR [SECONDS] [FPS]" >&2; exit 2; }
run=$1
length=${2:-2}
fps=${3:-10}
[ -x "$run/kelvane12-capture" ] || { echo "section-timings.sh: no $run/kelvane12-capture" >&2; exit 1; }

# Up to 100 frames a section, the capture's 99th percentile is its slowest frame.
echo "| Section | From (s) | Median (ms) | Worst (ms) |"
echo "|---|---|---|---|"
while read -r from name; do
  to=$(awk "BEGIN { print $from + $length }")
  line=$("$run/kelvane12-capture" --quick-start --from "$from" --to "$to" --fps "$fps" 2>&1 | tail -n 1)
  median=$(echo "$line" | sed -n 's/.*median \([0-9.]*\) ms.*/\1/p')
  worst=$(echo "$line" | sed -n 's/.*percentile \([0-9.]*\) ms.*/\1/p')
  [ -n "$median" ] || { echo "section-timings.sh: capture at $from s failed: $line" >&2; exit 1; }
  echo "| $name | $from | $median | $worst |"
done <<'SECTIONS'
5 titles over the fluid
25 wire figures, flash overlays
45 first act: pulses, ropes, stars
68 soft-body close-up
78 slow motion
88 bonfire cards, picture flash
100 build
104.95 fluid only
115 text cards, ropes, soft body
127 swell
135 second fluid, greetings
150 finale: chain, extra ropes
180 end screen
SECTIONS
