#!/bin/sh
# The show and the capture tool as whole programs, on the real run directory.
# usage: program_test.sh CASE RUNDIR   (all but "startup" run on a virtual X server)
. "$(dirname "$0")/program_common.sh"
# The brightest grey level (0 to 1) of a crop WxH+X+Y of an image.
brightest() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:maxima]' info:; }
# The panel's corner marks lie in all four corners of an image WxH: the
# picture reaches every edge, not just a corner of the screen.
expect_corner_marks() {
  for at in "0+0" "$(($2 - 80))+0" "0+$(($3 - 80))" "$(($2 - 80))+$(($3 - 80))"; do
    gt "$(brightest "$1" "80x80+$at")" 0.5 || fail "no panel mark in the corner at $at of $1"
  done
}
# Waits up to 10 s for the window's WxH@X,Y to match a pattern.
wait_for_window() {
  for i in $(seq 20); do
    g=$(xwininfo -id "$window" | awk '/upper-left X:/ { x = $4 } /upper-left Y:/ { y = $4 }
      /Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h "@" x "," y }')
    case $g in $1) return 0 ;; esac
    sleep 0.5
  done
  fail "window is $g, expected $1"
}
# Waits until the music has passed $1 s: a key without a meaning ('q') is
# pressed every second, and the recording says at what music time it came.
wait_for_music() {
  for i in $(seq 120); do
    keys q q
    t=$(tail -n 1 "$work/keys.rec" 2>/dev/null | cut -d' ' -f2)
    [ -n "$t" ] && gt "$t" "$1" && return 0
  done
  fail "the music did not pass $1 s"
}

case $case_name in
startup)
  # Before any window, with no display: usage on --help (status 0) and on a
  # bad option (status 2) in both builds of the show and in the capture tool;
  # a missing music file is named; without a display the show says how to
  # watch it instead, and GLUT is never started.
  need_assets
  cd "$run" || fail "no run directory"
  unset DISPLAY
  for program in kelvane12 kelvane12-fixed; do
    # From another directory too: nothing is read before the options.
    (cd / && "$run/$program" --help) >"$work/out.txt" 2>&1
    expect_status $? 0 "$program --help"
    expect "$work/out.txt" "$program --help" "^usage: $program \[--window\]" "F11"
    "./$program" --fullscreen >/dev/null 2>"$work/err.txt"
    expect_status $? 2 "$program --fullscreen"
    expect "$work/err.txt" "$program --fullscreen" "^usage: $program" "unknown option --fullscreen"
  done
  for args in "--fps 0" "--fps 1001" "--fps" "--every 0" "--from -3" "--from 5 --to 4" "--frobnicate" \
              "--to x" "--size 1920" "--size 32x32" "--size 64x8193" "--size 1921x1080 --video x.mp4"; do
    # shellcheck disable=SC2086
    ./kelvane12-capture $args >/dev/null 2>"$work/err.txt"
    expect_status $? 2 "capture $args"
    expect "$work/err.txt" "capture $args" "^usage:"
  done
  SDL_AUDIODRIVER=dummy timeout 60 ./kelvane12 >/dev/null 2>"$work/err.txt"
  expect_status $? 1 "no display"
  expect "$work/err.txt" "no display" "no X display" "make video"
  grep -qi "freeglut" "$work/err.txt" && fail "GLUT was started: $(cat "$work/err.txt")"
  link_run_dir
  rm "$work/run/$music"
  cd "$work/run" && ./kelvane12 >/dev/null 2>"$work/err.txt"
  expect_status $? 1 "missing music"
  expect "$work/err.txt" "missing music" "$music"
  grep -qi "display" "$work/err.txt" && fail "a window was attempted: $(cat "$work/err.txt")"
  ;;
missing-shader)
  need_assets
  link_run_dir dat
  rm "$work/run/dat/dof_fragment.glsl"
  cd "$work/run" && SDL_AUDIODRIVER=dummy timeout 60 ./kelvane12 >/dev/null 2>"$work/err.txt"
  expect_status $? 1 "missing shader"
  expect "$work/err.txt" "missing shader" "dat/dof_fragment.glsl"
  ;;
record-keys)
  # Keys sent to the window are recorded in keys.dat's format and Escape ends
  # the show with status 0; the recording, replayed as the key track, ends
  # the show by itself the same way.
  need_assets
  link_run_dir
  rm "$work/run/keys.dat" && : >"$work/run/keys.dat"
  cd "$work/run"
  KELVANE_RECORD="$work/recorded.dat" start_show
  sleep 2
  keys z braceleft 8
  end_show_with_escape
  recorded=$(cut -c1 "$work/recorded.dat" | tr -d '\n' | od -An -c | tr -d ' ')
  [ "$recorded" = 'z{8033' ] || fail "recorded keys '$recorded': $(cat "$work/recorded.dat")"
  cp "$work/recorded.dat" keys.dat.new && rm keys.dat && mv keys.dat.new keys.dat
  SDL_AUDIODRIVER=dummy timeout 150 ./kelvane12 >/dev/null 2>"$work/err.txt"
  expect_status $? 0 "replayed recording"
  ;;
capture-repeat)
  # Two captures of the same second give the same frames of 1280x720: the
  # second writes every other frame, and an Escape in its key track ends it
  # after the frame at 20.6 s, with status 0.
  need_assets
  capture --quick-start --from 20 --to 21 --fps 10 --out "$work/frames1" || fail "capture 1 failed"
  link_run_dir
  rm "$work/run/keys.dat"
  { awk '$2 < 20.5' "$run/keys.dat"; printf '\033 20.55\n'; } >"$work/run/keys.dat"
  (cd "$work/run" && ./kelvane12-capture --quick-start --from 20 --to 21 --fps 10 --every 2 \
    --out "$work/frames2" 2>"$work/err.txt")
  expect_status $? 0 "capture ended by the key track"
  expect "$work/err.txt" "capture ended by the key track" "key track ended the show"
  [ "$(ls "$work/frames1" | wc -l)" -eq 11 ] || fail "$(ls "$work/frames1" | wc -l) frames, expected 11"
  [ "$(ls "$work/frames2" | tr '\n' ' ')" = "frame_000000.png frame_000001.png frame_000002.png frame_000003.png " ] ||
    fail "every other frame to 20.6 s: $(ls "$work/frames2")"
  size=$(identify -format '%wx%h' "$work/frames1/frame_000010.png")
  [ "$size" = "1280x720" ] || fail "frame size $size"
  for n in 0 1 2 3; do
    cmp -s "$work/frames2/frame_00000$n.png" "$work/frames1/frame_00000$((2 * n)).png" ||
      fail "frame $n of every other frame differs from frame $((2 * n))"
  done
  ;;
screen)
  # On a 1920x1080 screen where game mode cannot be entered: --window opens a
  # 1280x720 window; F11 makes it cover the screen, with the picture in every
  # corner, and back; a window of another shape shows the picture whole
  # between black bars. Escape ends the show with status 0.
  need_assets
  cd "$run"
  KELVANE_RECORD="$work/keys.rec" start_show --window
  wait_for_window '1280x720@*'
  keys F11
  wait_for_window 1920x1080@0,0
  wait_for_music 2
  import -window root "$work/screen.png" || fail "no screenshot"
  expect_corner_marks "$work/screen.png" 1920 1080
  keys F11
  wait_for_window '1280x720@*'
  xdotool windowsize "$window" 800 600
  wait_for_window '800x600@*'
  # 800x600 holds an 800x450 picture between black bars of 75 rows (the
  # first frames after a resize may still show the old size).
  for i in $(seq 10); do
    sleep 1
    import -window "$window" "$work/window.png" || fail "no screenshot"
    top=$(brightest "$work/window.png" 800x70+0+0) bottom=$(brightest "$work/window.png" 800x70+0+530)
    gt "$top" 0.02 || gt "$bottom" 0.02 || break
  done
  gt "$top" 0.02 || gt "$bottom" 0.02 && fail "the bars are not black (brightest $top and $bottom)"
  convert "$work/window.png" -crop 800x450+0+75 +repage "$work/picture.png"
  expect_corner_marks "$work/picture.png" 800 450
  end_show_with_escape
  ;;
screen-wm)
  # With a window manager the show starts full screen through its
  # full-screen state, and F11 leaves it for a 1280x720 window.
  need_assets
  command -v openbox >/dev/null || { echo "openbox is not installed, skipped"; exit 77; }
  openbox >/dev/null 2>&1 &
  wm=$!
  trap 'kill $wm 2>/dev/null; rm -rf "$work"' EXIT
  i=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || [ $i -ge 40 ]; do
    sleep 0.25; i=$((i + 1))
  done
  cd "$run"
  start_show
  wait_for_window 1920x1080@0,0
  xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN || fail "not in the full-screen state"
  keys F11
  wait_for_window '1280x720@*'
  end_show_with_escape
  ;;
capture-run-up)
  # A capture from T runs up to T without drawing, yet its frames are those of
  # a capture that draws every frame from the show's start, pixel for pixel:
  # at 12 s inside the particle field's intro (its fluid carries from frame to
  # frame on the GPU) and at 30 s, where GL state the wire layer left frames
  # before lights what is drawn. Small frames keep the drawn run short.
  need_assets
  shot() {  # FROM TO DIR
    capture --size 320x180 --from "$1" --to "$2" --fps 10 --out "$work/$3" ||
      fail "capture from $1 s failed: $(tail -n 3 "$work/err.txt")"
  }
  shot 0 31 drawn
  for from in 12 30; do
    shot "$from" "$((from + 1))" "from-$from"
    expect "$work/err.txt" "capture from $from s" "running the show up to $from.00 s"
    [ "$(ls "$work/from-$from" | wc -l)" -eq 11 ] || fail "from $from s: $(ls "$work/from-$from" | wc -l) frames"
    for n in 0 1 2 3 4 5 6 7 8 9 10; do
      drawn=$(printf 'frame_%06d.png' $((from * 10 + n)))
      cmp -s "$work/from-$from/$(printf 'frame_%06d.png' $n)" "$work/drawn/$drawn" ||
        fail "from $from s: frame $n differs from the drawn run's $drawn"
    done
  done
  ;;
capture-checkpoints)
  # Checkpoint files: a capture started from one gives the state, byte for
  # byte, and the frames of a run from the show's start, at 12 s inside the
  # particle field's intro and at 21 s; a damaged file, one of another
  # version or of another frame rate is refused whole, nothing drawn.
  need_assets
  shot() {  # FROM DIR CHECKPOINTS...
    _from=$1 _dir=$2 && shift 2
    capture --size 320x180 --fps 10 --from "$_from" --to "$_from.5" --out "$work/$_dir" "$@" ||
      fail "capture from $_from s into $_dir failed: $(tail -n 3 "$work/err.txt")"
  }
  same_frames() {  # DIR DIR
    [ "$(ls "$work/$1" | wc -l)" -eq 6 ] || fail "$1: $(ls "$work/$1" | wc -l) frames"
    for f in $(ls "$work/$2"); do
      cmp -s "$work/$1/$f" "$work/$2/$f" || fail "$1: $f differs from $2's"
    done
  }
  shot 21 run21 --checkpoints "$work/all"
  shot 12 run12
  file=kelvane12-10fps-0000100.checkpoint
  mkdir "$work/one" && cp "$work/all/$file" "$work/one/"
  shot 12 from12 --checkpoints "$work/one"
  expect "$work/err.txt" "from the checkpoint" "starting from the checkpoint at 10.00 s"
  same_frames from12 run12
  shot 21 from21 --checkpoints "$work/one"
  same_frames from21 run21
  cmp -s "$work/one/kelvane12-10fps-0000200.checkpoint" "$work/all/kelvane12-10fps-0000200.checkpoint" ||
    fail "the checkpoint at 20 s written after one at 10 s differs from the whole run's"

  refused() {  # WHAT FPS MESSAGE
    rm -rf "$work/none"
    capture --size 320x180 --fps "$2" --from 12 --to 12.5 --out "$work/none" --checkpoints "$work/bad"
    expect_status $? 1 "$1"
    expect "$work/err.txt" "$1" "cannot be used" "$3"
    [ -z "$(ls "$work/none")" ] || fail "$1: frames were written"
    rm -rf "$work/bad"
  }
  mkdir "$work/bad" && head -c -100 "$work/all/$file" >"$work/bad/$file"
  refused "a cut file" 10 "damaged"
  # A byte of the compressed state, and one of the header's tick reading.
  for at in 5000 60; do
    mkdir "$work/bad" && cp "$work/all/$file" "$work/bad/$file" &&
      printf '\377' | dd of="$work/bad/$file" bs=1 seek=$at conv=notrunc 2>/dev/null
    refused "a flipped byte at $at" 10 "damaged"
  done
  mkdir "$work/bad" && cp "$work/all/$file" "$work/bad/$file" &&
    printf '0.0.1' | dd of="$work/bad/$file" bs=1 seek=12 conv=notrunc 2>/dev/null
  refused "another version" 10 "another version"
  mkdir "$work/bad" && cp "$work/all/$file" "$work/bad/kelvane12-20fps-0000200.checkpoint"
  refused "another frame rate" 20 "made at 10 frames a second"
  ;;
show-from)
  # The show from a later moment: its run-up reaches the state a capture at
  # 60 frames a second reaches there (their checkpoints are the same bytes);
  # a moment that is not one is a usage error.
  need_assets
  for bad in -1 abc 100000; do
    SDL_AUDIODRIVER=dummy "$run/kelvane12" --window --from "$bad" >/dev/null 2>"$work/err.txt"
    expect_status $? 2 "--from $bad"
    expect "$work/err.txt" "--from $bad" "usage"
  done
  cd "$run"
  start_show --window --from 0.5 --checkpoints "$work/live" --checkpoint-every 0.25
  last=kelvane12-60fps-0000030.checkpoint
  for i in $(seq 240); do [ -f "$work/live/$last" ] && break; sleep 0.5; done
  kill -TERM $pid; wait $pid
  [ -f "$work/live/$last" ] || fail "the show wrote no checkpoint at 0.5 s: $(cat "$work/err.txt")"
  expect "$work/err.txt" "the run-up" "running the show up to 0:00.50  100%"
  capture --fps 60 --from 0.5 --to 0.5 --checkpoints "$work/captured" --checkpoint-every 0.25 ||
    fail "capture failed: $(tail -n 3 "$work/err.txt")"
  for f in kelvane12-60fps-0000015.checkpoint $last; do
    cmp -s "$work/live/$f" "$work/captured/$f" || fail "the show's $f differs from the capture's"
  done
  ;;
capture-sizes)
  # Moments captured at 1920x1080 (off screen: the display is 1280x1024) and
  # at 1280x720: scaled down, the larger matches the smaller, and its picture
  # reaches every edge. At 1024x768 (a window) black bars of 96 rows hold the
  # picture even in the swell, whose orange clear colour fills the picture.
  need_assets
  sized() {  # SIZE FROM TO DIR
    capture --size "$1" --quick-start --from "$2" --to "$3" --fps 1 --out "$work/$4" ||
      fail "capture $1 at $2 s failed: $(tail -n 3 "$work/err.txt")"
  }
  for moment in "37.5 37.5 card" "160 160 flash" "180 186 end"; do
    # shellcheck disable=SC2086
    set -- $moment
    sized 1920x1080 "$1" "$2" "big-$3"
    sized 1280x720 "$1" "$2" "small-$3"
    big="$work/big-$3/$(ls "$work/big-$3" | tail -n 1)"
    [ "$(identify -format '%wx%h' "$big")" = 1920x1080 ] || fail "$3: frame size"
    convert "$big" -resize '1280x720!' "$work/scaled.png"
    rmse=$(compare -metric RMSE "$work/small-$3/${big##*/}" "$work/scaled.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
    gt "$rmse" 0.03 && fail "$3: the 1920x1080 frame differs from the 1280x720 one (RMSE $rmse)"
    for band in 1920x16+0+0 1920x16+0+1064 16x1080+0+0 16x1080+1904+0; do
      v=$(convert "$big" -crop "$band" -colorspace Gray -format '%[fx:standard_deviation]' info:)
      gt "$v" 0.002 || fail "$3: the edge band $band is blank (deviation $v)"
    done
  done
  sized 1024x768 127.5 127.5 swell
  frame="$work/swell/frame_000000.png"
  [ "$(identify -format '%wx%h' "$frame")" = 1024x768 ] || fail "1024x768 frame size"
  for y in 0 672; do
    [ "$(brightest "$frame" "1024x96+0+$y")" = 0 ] || fail "the bar at row $y is not black"
  done
  mean=$(convert "$frame" -crop 1024x576+0+96 -resize 1x1 -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
  echo "$mean" | awk '{ exit !($1 > 0.2 && $1 > $2 && $2 > $3) }' || fail "the swell's mean colour '$mean' is not orange"
  ;;
*)
  echo "usage: program_test.sh startup|missing-shader|record-keys|capture-repeat|capture-run-up|screen|screen-wm|capture-sizes RUNDIR" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
