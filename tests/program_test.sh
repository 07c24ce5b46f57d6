#!/bin/sh
# The show and the capture tool as whole programs, on the real run directory.
# usage: program_test.sh CASE RUNDIR   (the GL cases run under xvfb-run)
# Exit 77 tells ctest the case was skipped (run directory not generated yet).
. "$(dirname "$0")/program_common.sh"
# The brightest grey level (0 to 1) of a SIZExSIZE square at X,Y of an image.
brightest() {
  convert "$1" -crop "$2x$2+$3+$4" +repage -colorspace Gray -format '%[fx:maxima]' info:
}
# Whether a number is above another: gt 0.7 0.5
gt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# The panel's corner marks lie in all four corners of an image WxH: the
# picture reaches every edge, not just a corner of the screen.
expect_corner_marks() {
  img=$1 w=$2 h=$3
  for corner in "0 0" "$((w - 80)) 0" "0 $((h - 80))" "$((w - 80)) $((h - 80))"; do
    # shellcheck disable=SC2086
    set -- $corner
    v=$(brightest "$img" 80 "$1" "$2")
    gt "$v" 0.5 || fail "no panel mark in the corner at $1,$2 of $img (brightest $v)"
  done
}
# No band of 16 pixels along an edge of an image WxH is blank: each varies,
# as the picture does and a cleared, undrawn band does not.
expect_edges_drawn() {
  img=$1 w=$2 h=$3
  for band in "${w}x16+0+0" "${w}x16+0+$((h - 16))" "16x${h}+0+0" "16x${h}+$((w - 16))+0"; do
    v=$(convert "$img" -crop "$band" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:)
    gt "$v" 0.002 || fail "the edge band $band of $img is blank (deviation $v)"
  done
}
# Starts the show with the given options, recording keys; sets pid and window.
start_show() {
  cd "$run" && KELVANE_RECORD="$work/keys.rec" SDL_AUDIODRIVER=dummy ./kelvane12 "$@" \
    >"$work/out.txt" 2>"$work/err.txt" &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' 2>/dev/null | head -n 1)
  [ -n "$window" ] || { kill $pid; fail "no window named kelvane12"; }
}
# Waits until the music has passed SECONDS: a key without a meaning ('q') is
# pressed every second, and the recording says at what music time it came.
wait_for_music() {
  i=0
  while [ $i -lt 240 ]; do
    xdotool key --window "$window" q 2>/dev/null
    sleep 1
    t=$(tail -n 1 "$work/keys.rec" 2>/dev/null | cut -d' ' -f2)
    [ -n "$t" ] && gt "$t" "$1" && return 0
    i=$((i + 1))
  done
  fail "the music did not pass $1 s"
}
# Escape ends the show with status 0.
end_show_with_escape() {
  xdotool key --window "$window" Escape 2>/dev/null
  i=0
  while kill -0 $pid 2>/dev/null && [ $i -lt 60 ]; do sleep 0.5; i=$((i + 1)); done
  kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "Escape did not end the show"; }
  wait $pid
  rc=$?
  [ $rc -eq 0 ] || fail "exit status $rc after Escape: $(cat "$work/err.txt")"
}
# The window's size as WxH, and its place as X,Y.
window_size() { xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
window_place() {
  xwininfo -id "$window" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } END { print x "," y }'
}
# Waits up to 10 s for the window to take a size.
wait_for_size() {
  i=0
  while [ "$(window_size)" != "$1" ] && [ $i -lt 20 ]; do sleep 0.5; i=$((i + 1)); done
  [ "$(window_size)" = "$1" ] || fail "window is $(window_size), expected $1"
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
    "$run/kelvane12-capture" --quick-start --from 20 --to 21 --fps 10 --out "$work/frames$n" \
      2>"$work/err$n.txt" \
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
  "$run/kelvane12-capture" --quick-start --from 127 --to 127.5 --fps 10 --out "$work/frames" 2>"$work/err.txt" \
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
  cd "$work/run" && ./kelvane12-capture --quick-start --from 20 --to 21 --fps 10 --out "$work/frames" \
    2>"$work/err.txt"
  rc=$?
  [ $rc -eq 0 ] || fail "exit status $rc, expected 0: $(tail -n 3 "$work/err.txt")"
  count=$(ls "$work/frames" | wc -l)
  [ "$count" -eq 4 ] || fail "$count frames, expected 4 (20.0 to 20.3 s)"
  grep -q "key track ended the show" "$work/err.txt" || fail "no message: $(cat "$work/err.txt")"
  ;;
capture-options)
  for args in "--fps 0" "--fps" "--every 0" "--from -3" "--from 5 --to 4" "--frobnicate" "--to x" \
              "--size 1920" "--size 32x32" "--size 1921x1080 --video x.mp4"; do
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
options)
  # Usage on --help (status 0) and on an unknown option (status 2), in both
  # builds, before anything else is looked at (in the run directory, where
  # the meshes load before main runs).
  need_assets
  cd "$run" || fail "no run directory"
  for program in kelvane12 kelvane12-fixed; do
    "./$program" --help >"$work/out.txt" 2>&1
    rc=$?
    [ $rc -eq 0 ] || fail "$program --help: exit status $rc"
    grep -q "^usage: $program \[--window\]" "$work/out.txt" || fail "$program --help: $(cat "$work/out.txt")"
    grep -q "F11" "$work/out.txt" || fail "$program --help does not name F11"
    "./$program" --fullscreen >/dev/null 2>"$work/err.txt"
    rc=$?
    [ $rc -eq 2 ] || fail "$program --fullscreen: exit status $rc, expected 2"
    grep -q "^usage: $program" "$work/err.txt" || fail "$program --fullscreen printed no usage"
    grep -q "unknown option --fullscreen" "$work/err.txt" || fail "no reason: $(cat "$work/err.txt")"
  done
  ;;
no-display)
  # Without an X display the show says so, points to the video, and fails.
  need_assets
  cd "$run" && env -u DISPLAY SDL_AUDIODRIVER=dummy timeout 60 ./kelvane12 >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
  [ $rc -ne 0 ] && [ $rc -ne 124 ] || fail "exit status $rc, expected a failure"
  grep -q "no X display" "$work/err.txt" || fail "no clear message: $(cat "$work/err.txt")"
  grep -q "make video" "$work/err.txt" || fail "the message does not say how to watch: $(cat "$work/err.txt")"
  grep -qi "freeglut" "$work/err.txt" && fail "GLUT was started: $(cat "$work/err.txt")"
  ;;
fullscreen|fullscreen-wm)
  # Full screen on a 1920x1080 screen where game mode cannot be entered:
  # the window covers the screen, with a window manager (which is asked for
  # its full-screen state) and without one, and the picture reaches every
  # corner in the main phase. F11 goes to a 1280x720 window and back.
  need_assets
  if [ "$case_name" = fullscreen-wm ]; then
    command -v openbox >/dev/null || { echo "openbox is not installed, skipped"; exit 77; }
    openbox >/dev/null 2>&1 &
    wm=$!
    trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
    i=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || [ $i -ge 40 ]; do
      sleep 0.25; i=$((i + 1))
    done
  fi
  start_show
  wait_for_size 1920x1080
  [ "$(window_place)" = "0,0" ] || fail "full-screen window at $(window_place)"
  if [ "$case_name" = fullscreen-wm ]; then
    xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "not in the full-screen state"
  fi
  wait_for_music 2
  import -window root "$work/screen.png" || fail "no screenshot"
  expect_corner_marks "$work/screen.png" 1920 1080
  xdotool key --window "$window" F11 2>/dev/null
  wait_for_size 1280x720
  xdotool key --window "$window" F11 2>/dev/null
  wait_for_size 1920x1080
  [ "$(window_place)" = "0,0" ] || fail "full screen again at $(window_place)"
  end_show_with_escape
  ;;
window-resize)
  # --window: a 1280x720 window whose picture follows its size, between black
  # bars where the shape differs; F11 makes it full screen and back.
  need_assets
  start_show --window
  wait_for_size 1280x720
  xdotool windowsize "$window" 800 600
  wait_for_size 800x600
  sleep 4  # the loader image is in
  import -window "$window" "$work/window.png" || fail "no screenshot"
  [ "$(identify -format '%wx%h' "$work/window.png")" = 800x600 ] || fail "screenshot size"
  # 800x600 holds a 800x450 picture with bars of 75 rows above and below.
  for y in 0 530; do
    v=$(convert "$work/window.png" -crop "800x70+0+$y" +repage -colorspace Gray -format '%[fx:maxima]' info:)
    gt "$v" 0.02 && fail "the bar at row $y is not black (brightest $v)"
  done
  convert "$work/window.png" -crop 800x450+0+75 +repage "$work/picture.png"
  expect_corner_marks "$work/picture.png" 800 450
  xdotool key --window "$window" F11 2>/dev/null
  wait_for_size 1920x1080
  [ "$(window_place)" = "0,0" ] || fail "full-screen window at $(window_place)"
  xdotool key --window "$window" F11 2>/dev/null
  wait_for_size 1280x720
  end_show_with_escape
  ;;
capture-sizes)
  # The same moments captured at 1920x1080 (off screen: the display is
  # 1280x1024) and at 1280x720: scaled down, the larger matches the smaller,
  # and its picture reaches every edge. At 1024x768 (a window) the picture
  # lies between black bars of 96 rows.
  need_assets
  capture() {  # SIZE FROM TO DIR
    "$run/kelvane12-capture" --size "$1" --quick-start --from "$2" --to "$3" --fps 1 --out "$work/$4" \
      2>"$work/err.txt" || fail "capture $1 at $2 s failed: $(tail -n 3 "$work/err.txt")"
  }
  for moment in "37.5 37.5 card" "160 160 flash" "180 186 end"; do
    # shellcheck disable=SC2086
    set -- $moment
    capture 1920x1080 "$1" "$2" "big-$3"
    capture 1280x720 "$1" "$2" "small-$3"
    last=$(ls "$work/big-$3" | tail -n 1)
    [ "$(identify -format '%wx%h' "$work/big-$3/$last")" = 1920x1080 ] || fail "$3: frame size"
    convert "$work/big-$3/$last" -resize '1280x720!' "$work/scaled.png"
    rmse=$(compare -metric RMSE "$work/small-$3/$last" "$work/scaled.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
    echo "$3: RMSE $rmse between 1920x1080 scaled down and 1280x720"
    gt "$rmse" 0.03 && fail "$3: the 1920x1080 frame differs from the 1280x720 one (RMSE $rmse)"
    expect_edges_drawn "$work/big-$3/$last" 1920 1080
  done
  capture 1024x768 37.5 37.5 four-three
  frame="$work/four-three/frame_000000.png"
  [ "$(identify -format '%wx%h' "$frame")" = 1024x768 ] || fail "1024x768 frame size"
  for y in 0 672; do
    v=$(convert "$frame" -crop "1024x96+0+$y" +repage -colorspace Gray -format '%[fx:maxima]' info:)
    [ "$v" = 0 ] || fail "the bar at row $y is not black (brightest $v)"
  done
  for y in 96 671; do
    v=$(convert "$frame" -crop "1024x1+0+$y" +repage -colorspace Gray -format '%[fx:maxima]' info:)
    gt "$v" 0.1 || fail "row $y of the picture is blank"
  done
  ;;
*)
  echo "usage: program_test.sh missing-music|missing-shader|window-escape|capture-repeat|capture-escape|capture-options|keytrack-escape|record-keys|options|no-display|fullscreen|fullscreen-wm|window-resize|capture-sizes RUNDIR" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
