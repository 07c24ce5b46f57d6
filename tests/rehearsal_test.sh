#!/bin/sh
# Rehearsal (--rehearse) as a whole program on a virtual X server, driven by
# xdotool: the keys, read back from the line the show prints on each action,
# and the live reload of the key track and the shaders; the frames after a
# seek and a step are compared with the capture tool's frames of the same
# moments.
# usage: rehearsal_test.sh keys|end|reload|exact RUNDIR
. "$(dirname "$0")/program_common.sh"
need_assets
command -v xdotool >/dev/null || { echo "xdotool is not installed, skipped"; exit 77; }
out="$work/out.txt"

# Starts the rehearsal from the working directory (killed after 540 s); its
# lines go to out.txt, its messages to err.txt.
start_rehearsal() {
  SDL_AUDIODRIVER=dummy timeout --foreground -s KILL 540 ./kelvane12 --rehearse "$@" >"$out" 2>"$work/err.txt" &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' 2>/dev/null | head -n 1)
  [ -n "$window" ] || { kill -9 $pid; fail "no window named kelvane12: $(cat "$work/err.txt")"; }
  # The keys' line comes once the show has started (after any run-up).
  wait_for "$out" 600 "rehearse: F5 pause" || { kill -9 $pid; fail "the rehearsal did not start: $(cat "$work/err.txt")"; }
}
# Presses a key and waits up to 180 s for the show's next line that holds
# $2 (a seek 10 s on through the particle field runs up 600 frames, slow
# on software GL on a busy machine); sets line, at (its music seconds) and
# frame (its frame of the grid).
act() {
  _before=$(wc -l <"$out")
  xdotool key --window "$window" "$1" 2>/dev/null
  for i in $(seq 720); do
    line=$(tail -n +"$((_before + 1))" "$out" | grep -m 1 -- "$2")
    [ -n "$line" ] && break
    sleep 0.25
  done
  [ -n "$line" ] || fail "$1: no line '$2' within 180 s: $(tail -n 3 "$out") $(tail -n 3 "$work/err.txt")"
  at=$(echo "$line" | sed -n 's/.*(\([0-9.]*\) s, frame \([0-9]*\)).*/\1/p')
  frame=$(echo "$line" | sed -n 's/.*(\([0-9.]*\) s, frame \([0-9]*\)).*/\2/p')
  echo "$1 -> $line"
}
# calc EXPRESSION: its value, to the microsecond.
calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
# near A B: A within a 120th of a second of B (half a frame of the grid).
near() { awk -v a="$1" -v b="$2" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 1 / 120 + 1e-4) }'; }
expect_near() { near "$1" "$2" || fail "$3: at $1 s, expected $2 s"; }
# Pauses once the music has passed $1 s (the loader screen may still run).
pause_after() {
  for i in $(seq 60); do
    act F5 "paused at"
    gt "$at" "$1" && return 0
    act F5 "playing from"
    sleep 1
  done
  fail "the music did not pass $1 s"
}
shot() { import -window "$window" "$work/$1.png" || fail "no screenshot $1"; }
# Pixels that differ between two pictures (a little colour tolerance).
differing() { compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1 | sed 's/ .*//'; }
mean() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }

case $case_name in
keys)
  # F5 holds the music and the picture; F1 shows the display and hides it;
  # the seek keys land where they say, paused or playing (End aside); F9 steps one frame;
  # F6, F7 and F8 loop, coming back to the loop's start; live keys are
  # recorded with the music's time after seeks. The key track's Escape at
  # the end is left out: seeking past it would end the show.
  link_run_dir
  cd "$work/run" || fail "no run directory"
  rm keys.dat && grep -v "$(printf '\033')" "$run/keys.dat" >keys.dat
  KELVANE_RECORD="$work/keys.rec" start_rehearsal
  pause_after 3  # the picture is black for the first second or so
  paused=$at
  sleep 0.5
  shot held1
  sleep 1.5
  shot held2
  [ "$(differing "$work/held1.png" "$work/held2.png")" = 0 ] || fail "the picture moves while paused"
  gt "$(mean "$work/held1.png")" 0.01 || fail "the held picture is black"
  xdotool key --window "$window" F1 && sleep 2 && shot display
  convert "$work/display.png" -crop 600x100+0+0 +repage "$work/display-box.png"
  convert "$work/held1.png" -crop 600x100+0+0 +repage "$work/held-box.png"
  gt "$(differing "$work/display-box.png" "$work/held-box.png")" 2000 || fail "F1 shows no display"
  xdotool key --window "$window" F1 && sleep 2 && shot hidden
  [ "$(differing "$work/held1.png" "$work/hidden.png")" = 0 ] || fail "F1 again leaves the display on"

  act Right "seek to"
  expect_near "$at" "$(calc "$paused + 1")" "Right from $paused s"
  seek=$at
  xdotool key --window "$window" q && sleep 1
  act F5 "playing from"
  expect_near "$at" "$seek" "paused after the seek"
  sleep 1.5
  act F5 "paused at"
  gt "$at" "$(calc "$seek + 1")" || fail "the music did not play on from $seek s (at $at s)"
  from=$at
  act Left "seek to"
  expect_near "$at" "$(calc "$from - 1")" "Left from $from s"
  act Next "seek to"
  expect_near "$at" "$(calc "$from + 9")" "Page Down"
  act Prior "seek to"
  expect_near "$at" "$(calc "$from - 1")" "Page Up"
  act Home "seek to"
  expect_near "$at" 0 "Home"
  # (End is left to the unit test: running up to the end takes minutes here.)

  act Left "seek to"
  first=$frame
  act F9 "step to"
  [ "$frame" -eq $((first + 1)) ] || fail "F9 went from frame $first to $frame"
  act F9 "step to"
  [ "$frame" -eq $((first + 2)) ] || fail "a second F9 went from frame $first to $frame"

  act Prior "seek to"
  act F6 "loop start at"
  start=$at
  act Right "seek to"
  act Right "seek to"
  act F7 "loop end at"
  act F8 "loop back to"
  expect_near "$at" "$start" "starting the loop from its end"
  act F5 "playing from"
  act q "loop back to"
  expect_near "$at" "$start" "the loop coming back"
  act q "loop back to"
  expect_near "$at" "$start" "the loop coming back again"
  act F8 "loop off"
  act F5 "paused at"
  held=$at
  xdotool key --window "$window" semicolon && sleep 1
  end_show_with_escape
  # Keys are recorded at the music's time, paused or not, after seeks too.
  recorded=$(awk '$1 == "q" { print $2; exit }' "$work/keys.rec")
  expect_near "$recorded" "$seek" "the key pressed after the seek"
  recorded=$(awk '$1 == ";" { print $2 }' "$work/keys.rec")
  expect_near "$recorded" "$held" "the key pressed while paused"
  ;;
end)
  # End: 10 s before the end of the music. With the music cut to 12.5 s the
  # run-up to there is short: End lands at 2.5 s, and its frame is the
  # fixed-rate run's, as the frame line says.
  link_run_dir
  cd "$work/run" || fail "no run directory"
  rm "$music"
  ffmpeg -nostdin -loglevel error -i "$run/$music" -t 12.5 -c:a libmp3lame -b:a 128k "$music" ||
    fail "cannot cut the music"
  start_rehearsal
  pause_after 0.5
  act End "seek to"
  expect_near "$at" 2.5 "End"
  [ "$frame" -eq 150 ] || fail "End went to frame $frame, not 150"
  act Home "seek to"
  expect_near "$at" 0 "Home after End"
  end_show_with_escape
  ;;
reload)
  # A broken post-pass shader keeps the one in use and says why; a working
  # one takes over at once (this one paints the picture red); a broken
  # compute shader keeps the field's; keys.dat read again applies from now
  # on: an Escape already passed does not fire, one still ahead ends the
  # show; a keys.dat that cannot be read keeps the track in use.
  link_run_dir dat shaders
  cd "$work/run" || fail "no run directory"
  rm keys.dat && printf 'z 1\n' >keys.dat
  start_rehearsal
  pause_after 1
  act F5 "playing from"
  rm dat/dof_fragment.glsl && printf '#version 430 compatibility\nvoid main( {\n' >dat/dof_fragment.glsl
  wait_for "$work/err.txt" 40 "dof_fragment.glsl does not compile" || fail "no compile error: $(cat "$work/err.txt")"
  expect "$work/err.txt" "broken shader" "programs in use stay" "error"
  cat >dat/dof_fragment.glsl.new <<'GLSL'
#version 430 compatibility
out vec4 fragColor;
void main() { fragColor = vec4(1.0, 0.0, 0.0, 1.0); }
GLSL
  mv dat/dof_fragment.glsl.new dat/dof_fragment.glsl
  wait_for "$work/err.txt" 40 "post-pass shaders compiled again" || fail "the shader was not compiled again"
  sleep 3
  shot red
  red=$(convert "$work/red.png" -resize 1x1 -format '%[fx:r] %[fx:g]' info:)
  echo "$red" | awk '{ exit !($1 > 0.8 && $2 < 0.2) }' || fail "the new dof shader is not in use (mean colour $red)"
  rm shaders/moveparticles-glsl.cs && printf '#version 430\nbroken\n' >shaders/moveparticles-glsl.cs
  wait_for "$work/err.txt" 40 "moveparticles-glsl.cs does not compile" || fail "no compute compile error"
  kill -0 $pid || fail "the show ended on a broken compute shader"

  mkfifo keys.dat.fifo && rm keys.dat && mv keys.dat.fifo keys.dat
  wait_for "$work/err.txt" 40 "cannot read the key track keys.dat.*keeping the track in use" ||
    fail "no message for an unreadable keys.dat: $(cat "$work/err.txt")"
  act F5 "paused at"
  now=$at
  rm keys.dat
  printf '\033 %s\n\033 %s\n' "$(calc "$now - 0.5")" "$(calc "$now + 3")" >keys.dat
  wait_for "$work/err.txt" 40 "read again: 2 entries, 1 of them before" || fail "keys.dat not read again: $(cat "$work/err.txt")"
  act F5 "playing from"
  sleep 1
  kill -0 $pid || fail "an Escape already passed fired after the reload"
  wait_show
  expect_status $rc 0 "the Escape after the reload"
  ;;
exact)
  # Seeks and steps land on the frames a run from the start shows there: the
  # frame after Home, after Right and after F9 each match the capture tool's
  # frame of that moment at 60 frames a second; so do they after the display
  # was drawn over a frame and after the compute shaders were built again.
  link_run_dir shaders
  cd "$work/run" || fail "no run directory"
  start_rehearsal
  act F5 "paused at"
  # The capture's frame n of 60 a second (a hair around it, so that the
  # range holds that frame alone).
  same_as_capture() {  # NAME FRAME
    sleep 0.5
    shot "$1"
    "$run/kelvane12-capture" --fps 60 --from "$(calc "($2 > 0) * ($2 - 0.01) / 60")" --to "$(calc "($2 + 0.01) / 60")" \
      --size 1280x720 --out "$work/cap-$1" 2>>"$work/capture-err.txt" ||
      fail "capture of frame $2 failed: $(tail -n 3 "$work/capture-err.txt")"
    n=$(differing "$work/$1.png" "$work/cap-$1/$(ls "$work/cap-$1" | tail -n 1)")
    [ "$n" -le 50 ] || fail "$1: frame $2 differs from the capture's in $n pixels"
  }
  act Home "seek to" && same_as_capture home "$frame"
  act Right "seek to" && same_as_capture right "$frame"
  act F9 "step to" && same_as_capture step "$frame"
  xdotool key --window "$window" F1
  act F9 "step to"
  xdotool key --window "$window" F1
  act F9 "step to" && same_as_capture after-display "$frame"
  cp shaders/moveparticles-glsl.cs moved.cs && rm shaders/moveparticles-glsl.cs && mv moved.cs shaders/moveparticles-glsl.cs
  wait_for "$work/err.txt" 40 "compute shaders compiled again" || fail "the compute shaders were not built again"
  act F9 "step to" && same_as_capture after-reload "$frame"
  end_show_with_escape
  ;;
*)
  echo "usage: rehearsal_test.sh keys|reload|exact RUNDIR" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
