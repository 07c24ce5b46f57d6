# Shared by the whole-program test scripts (sourced, not run): the case and
# run directory from the command line, a work directory removed at exit, and
# the helpers every case uses. Exit 77 tells ctest a case was skipped.
set -u
case_name=$1
run=$2
music="q-lune - selvara (kelvane edit).mp3"
work=$(mktemp -d "${TMPDIR:-/tmp}/k12-program.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
need_assets() {
  [ -f "$run/$music" ] && [ -f "$run/gfx/panel.png" ] || { echo "run directory incomplete, skipped"; exit 77; }
}
# A copy of the run directory made of links, so single files can be removed
# or replaced.
link_run_dir() {
  mkdir -p "$work/run"
  for entry in "$run"/*; do ln -s "$entry" "$work/run/$(basename "$entry")"; done
}
