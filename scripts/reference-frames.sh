#!/bin/sh
# The reference frames of reference-frames/ from the built tree: check
# them as the test does, keeping the side-by-side pictures of every moment
# that differs, or render them anew after a change meant to alter the show.
#
#   sh scripts/reference-frames.sh --check [REPORT_DIR]   (default build/reference-frames-report)
#   sh scripts/reference-frames.sh --update [SHEET.png]   (default build/reference-frames-sheet.png)
#
# --update overwrites the references and writes a contact sheet, old | new |
# difference for every moment: look at it before committing the new pictures.
# Build first (make build); BUILD names another build directory. Runs on a
# virtual display when there is no real one.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$top/build}
usage() { echo "usage: sh scripts/reference-frames.sh --check [REPORT_DIR] | --update [SHEET.png]" >&2; exit 2; }
[ $# -ge 1 ] && [ $# -le 2 ] || usage
case $1 in
  --check) out=${2:-$build/reference-frames-report} ;;
  --update) out=${2:-$build/reference-frames-sheet.png} ;;
  *) usage ;;
esac
for f in "$build/run/kelvane12-capture" "$build/tests/k12-frame-compare"; do
  [ -x "$f" ] || { echo "reference-frames.sh: no $f: build first (make build)" >&2; exit 1; }
done
set -- sh "$top/tests/reference_frames.sh" "$1" "$build/run" "$build/tests/k12-frame-compare" "$out"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1280x720x24" "$@"
