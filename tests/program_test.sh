#!/bin/sh
# The show and the capture tool as whole programs, on the real run directory.
# usage: program_test.sh CASE RUNDIR   (the GL cases run under xvfb-run)
# Exit 77 tells ctest the case was skipped (run directory not generated yet).
set -u
case_name=$1
run=$2
music="q-lune - selvara (kelvane edit).mp3"
work=$(mktemp -d /tmp/k12-program.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }
need_assets() {
  [ -f "$run/$music" ] && [ -f "$run/gfx/panel.png" ] || { echo "run directory incomplete, skipped"; exit 77; }
}
# A copy of the run directory made of links, so single files can be removed.
link_run_dir() {
  for entry in "$run"/*; do ln -s "$entry" "$work/run/$(basename "$entry")"; done
}

case $case_name in
missing-music)
  # Before any window: no display is needed, and none is touched.
  need_assets
  mkdir -p "$work/run" && link_run_dir
  rm "$work/run/$music"
  cd "$work/run" && env -u DISPLAY ./kelvane12 >out.txt 2>err.txt
  rc=$?
  [ $rc -eq 1 ] || fail "exit status $rc, expected 1"
  grep -q "$music" err.txt || fail "message does not name the music file: $(cat err.txt)"
  grep -qi "display" err.txt && fail "a window was attempted: $(cat err.txt)"
  ;;
missing-shader)
  need_assets
  mkdir -p "$work/run" && link_run_dir
  rm "$work/run/dat" && mkdir "$work/run/dat" && cp "$run"/dat/*.glsl "$work/run/dat/"
  rm "$work/run/dat/dof_fragment.glsl"
  cd "$work/run" && SDL_AUDIODRIVER=dummy timeout 60 ./kelvane12 >out.txt 2>err.txt
  rc=$?
  [ $rc -eq 1 ] || fail "exit status $rc, expected 1"
  grep -q "dat/dof_fragment.glsl" err.txt || fail "message does not name the file: $(cat err.txt)"
  ;;
window-escape)
  # Game mode cannot be entered on Xvfb: the show falls back to a window,
  # and Escape in that window ends it with status 0.
  need_assets
  cd "$run" && SDL_AUDIODRIVER=dummy ./kelvane12 >"$work/out.txt" 2>"$work/err.txt" &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' | head -n 1)
  [ -n "$window" ] || { kill $pid; fail "no window named kelvane12"; }
  sleep 3
  kill -0 $pid 2>/dev/null || fail "the show ended by itself: $(cat "$work/err.txt")"
  xdotool key --window "$window" Escape
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 60 ]; do sleep 0.5; i=$((i + 1)); done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "Escape did not end the show"; }
  wait $pid
  rc=$?
  cat "$work/out.txt"
  [ $rc -eq 0 ] || fail "exit status $rc after Escape: $(cat "$work/err.txt")"
  ;;
capture-repeat)
  # Two captures of the same second give the same 11 frames of 1280x720.
  need_assets
  for n in 1 2; do
    "$run/kelvane12-capture" --from 20 --to 21 --fps 10 --out "$work/frames$n" 2>"$work/err$n.txt" \
      || fail "capture $n failed: $(tail -n 5 "$work/err$n.txt")"
  done
  count=$(ls "$work/frames1" | wc -l)
  [ "$count" -eq 11 ] || fail "$count frames, expected 11"
  [ -f "$work/frames1/frame_000000.png" ] && [ -f "$work/frames1/frame_000010.png" ] || fail "frame names"
  size=$(identify -format '%wx%h' "$work/frames1/frame_000005.png")
  [ "$size" = "1280x720" ] || fail "frame size $size"
  for f in "$work"/frames1/*.png; do
    cmp -s "$f" "$work/frames2/$(basename "$f")" || fail "$(basename "$f") differs between runs"
  done
  tail -n 1 "$work/err1.txt"
  ;;
swell-colour)
  # In the swell the flickering orange clear colour fills the picture around
  # the growing soft body: the mean colour of a frame is orange, its red well
  # above the dark default clear colour's 0.04.
  need_assets
  "$run/kelvane12-capture" --from 127 --to 127.5 --fps 10 --out "$work/frames" 2>"$work/err.txt" \
    || fail "capture failed: $(tail -n 5 "$work/err.txt")"
  mean=$(convert "$work/frames/frame_000005.png" -resize 1x1 -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:) \
    || fail "cannot measure the frame"
  echo "mean colour at 127.5 s: $mean"
  echo "$mean" | awk '{ exit !($1 > 0.2 && $1 > $2 && $2 > $3) }' || fail "mean colour $mean is not orange"
  ;;
capture-escape)
  # An Escape in the key track ends a capture after its frame, with every
  # frame written and status 0.
  need_assets
  mkdir -p "$work/run" && link_run_dir
  rm "$work/run/keys.dat"
  printf '\033 20.25\n' >"$work/run/keys.dat"
  cd "$work/run" && ./kelvane12-capture --from 20 --to 21 --fps 10 --out "$work/frames" \
    2>"$work/err.txt"
  rc=$?
  [ $rc -eq 0 ] || fail "exit status $rc, expected 0: $(tail -n 3 "$work/err.txt")"
  count=$(ls "$work/frames" | wc -l)
  [ "$count" -eq 4 ] || fail "$count frames, expected 4 (20.0 to 20.3 s)"
  grep -q "key track ended the show" "$work/err.txt" || fail "no message: $(cat "$work/err.txt")"
  ;;
capture-options)
  for args in "--fps 0" "--fps" "--every 0" "--from -3" "--from 5 --to 4" "--frobnicate" "--to x"; do
    # shellcheck disable=SC2086
    "$run/kelvane12-capture" $args >/dev/null 2>"$work/err.txt"
    rc=$?
    [ $rc -eq 2 ] || fail "'$args' gave exit status $rc, expected 2"
    grep -q "^usage:" "$work/err.txt" || fail "'$args' printed no usage"
  done
  ;;
keytrack-escape)
  # A key track whose last entry is Escape ends the show by itself, with status
  # 0, once the music passes it (after the loader screen).
  need_assets
  mkdir -p "$work/run" && link_run_dir
  rm "$work/run/keys.dat"
  printf 'z 0.2\n^ 0.4\n\033 0.6\n' >"$work/run/keys.dat"
  cd "$work/run" && SDL_AUDIODRIVER=dummy timeout 150 ./kelvane12 >out.txt 2>err.txt
  rc=$?
  [ $rc -eq 0 ] || fail "exit status $rc, expected 0: $(tail -n 3 err.txt)"
  ;;
record-keys)
  # Live keys sent to the window are recorded in keys.dat's format; the
  # recording, replayed as the key track, ends the show the same way.
  need_assets
  mkdir -p "$work/run" && link_run_dir
  rm "$work/run/keys.dat" && : >"$work/run/keys.dat"
  cd "$work/run"
  KELVANE_RECORD="$work/recorded.dat" SDL_AUDIODRIVER=dummy ./kelvane12 >out.txt 2>err.txt &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' | head -n 1)
  [ -n "$window" ] || { kill $pid; fail "no window named kelvane12"; }
  sleep 2
  for key in z braceleft 8 Escape; do xdotool key --window "$window" $key; sleep 0.5; done
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 60 ]; do sleep 0.5; i=$((i + 1)); done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "Escape did not end the show"; }
  wait $pid
  rc=$?
  [ $rc -eq 0 ] || fail "exit status $rc after Escape"
  keys=$(cut -c1 "$work/recorded.dat" | tr -d '\n' | od -An -c | tr -d ' ')
  [ "$keys" = 'z{8033' ] || fail "recorded keys '$keys': $(cat "$work/recorded.dat")"
  cp "$work/recorded.dat" keys.dat.new && rm keys.dat && mv keys.dat.new keys.dat
  SDL_AUDIODRIVER=dummy timeout 150 ./kelvane12 >out2.txt 2>err2.txt
  rc=$?
  [ $rc -eq 0 ] || fail "replaying the recording: exit status $rc, expected 0"
  ;;
*)
  echo "usage: program_test.sh missing-music|missing-shader|window-escape|capture-repeat|capture-escape|capture-options|keytrack-escape|record-keys RUNDIR" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
