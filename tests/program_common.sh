# Sourced by the whole-program tests: case and run directory, a work directory
# removed at exit, and shared helpers. Exit 77 tells ctest a case was skipped.
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
# A copy of the run directory made of links in $work/run, so single files can
# be removed or replaced; the folders named as arguments become folders of links.
# The programs are copies: they find their data beside their own file, which a
# link would lead back to the real run directory.
link_run_dir() {
  mkdir -p "$work/run"
  for entry in "$run"/*; do
    if [ -f "$entry" ] && [ -x "$entry" ]; then cp "$entry" "$work/run/"
    else ln -s "$entry" "$work/run/$(basename "$entry")"; fi
  done
  for dir; do
    rm "$work/run/$dir" && mkdir "$work/run/$dir" && ln -s "$run/$dir"/* "$work/run/$dir/"
  done
}
# Whether a number is above another: gt 0.7 0.5
gt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# expect_status RC WANTED WHAT: fails naming WHAT and the end of err.txt.
expect_status() { [ "$1" = "$2" ] || fail "$3: exit status $1, expected $2: $(tail -n 3 "$work/err.txt")"; }
# expect FILE WHAT PATTERN...: the file holds every pattern (grep).
expect() {
  _file=$1 _what=$2 && shift 2
  for _p; do grep -q -- "$_p" "$_file" || fail "$_what: no '$_p' in: $(cat "$_file")"; done
}
# Waits up to $2 half-seconds for the file $1 to hold the text $3 (or anything).
wait_for() {
  for i in $(seq "$2"); do grep -q -- "${3:-.}" "$1" 2>/dev/null && return 0; sleep 0.5; done
  return 1
}
# Starts the show from the working directory in the background (killed after
# 150 s; signals reach it through timeout); sets pid and window.
start_show() {
  SDL_AUDIODRIVER=dummy timeout --foreground -s KILL 150 ./kelvane12 "$@" >/dev/null 2>"$work/err.txt" &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' 2>/dev/null | head -n 1)
  [ -n "$window" ] || { kill -9 $pid; fail "no window named kelvane12: $(cat "$work/err.txt")"; }
}
# Waits for the show to end by itself within 30 s; rc is its exit status.
wait_show() {
  for i in $(seq 60); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "the show did not end"; }
  wait $pid; rc=$?
}
# Sends keys to the show's window, half a second apart.
keys() { for key; do xdotool key --window "$window" "$key" 2>/dev/null; sleep 0.5; done; }
# kelvane12-capture from the real run directory; its messages go to err.txt.
capture() { "$run/kelvane12-capture" "$@" 2>"$work/err.txt"; }
# Ends the show with Escape and expects status 0.
end_show_with_escape() {
  keys Escape
  wait_show
  expect_status $rc 0 "Escape"
}
