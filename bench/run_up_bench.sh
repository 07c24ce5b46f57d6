#!/bin/sh
# The run-up and checkpoint benchmarks of kelvane12-capture, each run once,
# at 30 frames a second at 1280x720 on a virtual display:
#  - reaching 60 s by the run-up against drawing every frame up to there
#    (start-up and loader, measured apart, taken off both);
#  - a seek from a checkpoint: from restoring the checkpoint at 50 s to the
#    first frame at 59.9 s;
#  - the checkpoints' size, and the time to save and to load one.
# usage: sh bench/run_up_bench.sh [--only-checkpoints] [RUN_DIR]   (default build/run)
set -eu
only_checkpoints=false
[ "${1:-}" = --only-checkpoints ] && { only_checkpoints=true; shift; }
run=$(cd "${1:-build/run}" && pwd)
[ -x "$run/kelvane12-capture" ] || { echo "usage: $0 [--only-checkpoints] [RUN_DIR]  (no kelvane12-capture in $run)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/k12-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

capture() {
  xvfb-run -a -s "-screen 0 1280x720x24" "$run/kelvane12-capture" --fps 30 "$@" 2>"$work/err.txt" ||
    { echo "capture $* failed: $(tail -n 3 "$work/err.txt")" >&2; exit 1; }
}
# Wall seconds of one capture.
timed() {
  start=$(date +%s.%N)
  capture "$@"
  echo "$(date +%s.%N) - $start" | bc
}
say() { printf '%-58s %s\n' "$1" "$2"; }

echo "kelvane12 run-up benchmarks, $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
if ! $only_checkpoints; then
base=$(timed --quick-start --from 60 --to 60)
say "start-up, loader and one frame" "$base s"
echo "drawing every frame up to 60 s..." >&2
drawn=$(timed --from 0 --to 60)
say "reaching 60 s by drawing every frame" "$(echo "$drawn - $base" | bc) s"
echo "running up to 60 s..." >&2
runup=$(timed --from 60 --to 60)
say "reaching 60 s by the run-up" "$(echo "$runup - $base" | bc) s"
say "run-up / drawing" "$(echo "scale=3; ($runup - $base) / ($drawn - $base)" | bc)"
fi

echo "running up to 50 s, keeping checkpoints..." >&2
kept=$(timed --from 50 --to 50 --checkpoints "$work/checkpoints")
files=$(ls "$work/checkpoints" | wc -l)
say "checkpoints kept up to 50 s" "$files, $(du -sm "$work/checkpoints" | cut -f1) MB"
say "  largest file" "$(ls -l "$work/checkpoints" | awk 'NR > 1 { if ($5 > m) m = $5 } END { printf "%.1f MB", m / 1e6 }')"
say "  save, each (the run-up with them less without, 50 s)" \
  "$(echo "scale=2; ($kept - $(timed --from 50 --to 50)) / $files" | bc) s"
capture --from 50 --to 50 --checkpoints "$work/checkpoints"
say "  load (read and restore the file at 50 s)" "$(grep -o 'restored in [0-9.]* s' "$work/err.txt" | cut -d' ' -f3) s"
capture --from 59.9 --to 59.9 --checkpoints "$work/checkpoints"
say "seek: restore at 50 s to the first frame at 59.9 s" "$(grep -o 'came [0-9.]* s' "$work/err.txt" | cut -d' ' -f2) s"
