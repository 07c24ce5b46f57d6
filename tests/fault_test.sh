#!/bin/sh
# The show, the capture tool and the mesh tool under faults and bad input:
# signals, failing writes, hostile file names, a broken ffmpeg, damaged files.
# Each case expects a message, an exit status and nothing left behind.
# usage: fault_test.sh CASE RUNDIR [MESHINFO]   (the GL cases run under xvfb-run)
# Exit 77 tells ctest the case was skipped (run directory not generated yet).
. "$(dirname "$0")/program_common.sh"
meshinfo=${3:-}
# Replaces one linked file of the copy with its first half.
cut_in_half() {
  rm "$work/run/$1"
  size=$(wc -c <"$run/$1")
  head -c $((size / 2)) "$run/$1" >"$work/run/$1"
}
# Waits up to $2 half-seconds for the file $1 to exist and not be empty.
wait_for_file() {
  i=0
  while [ ! -s "$1" ] && [ $i -lt "$2" ]; do sleep 0.5; i=$((i + 1)); done
  [ -s "$1" ]
}
# Waits up to $3 half-seconds for the file $1 to hold the text $2.
wait_for_text() {
  i=0
  while ! grep -q "$2" "$1" 2>/dev/null && [ $i -lt "$3" ]; do sleep 0.5; i=$((i + 1)); done
  grep -q "$2" "$1"
}
# The programs run in the background under `timeout --foreground -s KILL`,
# which passes each signal on to them once: one that hangs ends with 137.
# Starts the show in the background; the window's id goes to $window.
start_show() {
  SDL_AUDIODRIVER=dummy timeout --foreground -s KILL 90 ./kelvane12 >"$work/out.txt" \
    2>"$work/err.txt" &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' | head -n 1)
  [ -n "$window" ] || { kill -9 $pid; fail "no window named kelvane12: $(cat "$work/err.txt")"; }
}
# Video and audio frames of an MP4, as "video,N audio,M".
probe_mp4() {
  ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames -of csv=p=0 \
    "$1" 2>/dev/null | tr '\n' ' '
}
# Runs a command under a file-size limit of $1 blocks (the programs ignore
# SIGXFSZ, so their writes fail with EFBIG). Its standard error goes through
# a pipe, which the limit does not cover, to the file $2; its exit status
# goes to $2.rc once it has ended.
run_limited() {
  blocks=$1
  log=$2
  shift 2
  { (ulimit -f "$blocks"; exec "$@" 2>&1 >/dev/null); echo $? >"$log.rc"; } | cat >"$log"
}
# A mesh of one point whose x is a NaN: FORM, LWO2, a PNTS chunk.
write_nan_mesh() {
  printf 'FORM\000\000\000\030LWO2PNTS\000\000\000\014\177\300\000\000\000\000\000\000\000\000\000\000' >"$1"
}
# An ffmpeg on the PATH that runs the shell text $1 instead.
fake_ffmpeg() {
  mkdir -p "$work/bin"
  printf '#!/bin/sh\n%s\n' "$1" >"$work/bin/ffmpeg"
  chmod +x "$work/bin/ffmpeg"
}

case $case_name in
show-signals)
  # Ctrl-C and SIGTERM end the show at once with 130 and 143, recording kept;
  # a recording that cannot be opened or written says why, the show plays on
  # and its end reports the failure with status 1.
  need_assets
  cd "$run"
  KELVANE_RECORD="$work/recorded.dat" start_show
  xdotool key --window "$window" z
  wait_for_file "$work/recorded.dat" 20 || fail "the key was not recorded"
  kill -TERM $pid
  wait $pid; rc=$?
  [ "$rc" = 143 ] || fail "SIGTERM: exit status $rc, expected 143: $(cat "$work/err.txt")"
  grep -q "stopped by SIGTERM" "$work/err.txt" || fail "SIGTERM: no message: $(cat "$work/err.txt")"
  grep -q '^z [0-9.]*$' "$work/recorded.dat" || fail "recording: $(cat "$work/recorded.dat")"

  KELVANE_RECORD="$work" start_show
  wait_for_text "$work/err.txt" "cannot record keys to $work (Is a directory)" 20 ||
    fail "unopenable recording: $(cat "$work/err.txt")"
  kill -INT $pid
  wait $pid; rc=$?
  [ "$rc" = 130 ] || fail "SIGINT: exit status $rc, expected 130: $(cat "$work/err.txt")"

  # A file-size limit of 0: the recording's first line cannot be written.
  run_limited 0 "$work/limited.txt" env KELVANE_RECORD="$work/limited.dat" SDL_AUDIODRIVER=dummy \
    timeout --foreground -s KILL 90 \
    ./kelvane12 &
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' | head -n 1)
  [ -n "$window" ] || fail "limited show: no window: $(cat "$work/limited.txt")"
  xdotool key --window "$window" z
  wait_for_text "$work/limited.txt" "cannot write the key recording" 20 ||
    fail "failed recording write not reported: $(cat "$work/limited.txt")"
  grep -q "limited.dat (File too large)" "$work/limited.txt" ||
    fail "no reason given: $(cat "$work/limited.txt")"
  sleep 1
  [ ! -e "$work/limited.txt.rc" ] || fail "the show ended with its recording"
  xdotool key --window "$window" Escape
  wait_for_file "$work/limited.txt.rc" 60 || fail "Escape did not end the show"
  [ "$(cat "$work/limited.txt.rc")" = 1 ] ||
    fail "failed recording: exit status $(cat "$work/limited.txt.rc"), expected 1"
  ;;
capture-signals)
  # Ctrl-C ends a PNG capture after its frame: whole frames kept, status 130.
  # SIGTERM ends a video capture with a playable MP4 of what was written and
  # no temporary files (the file name has an apostrophe); a second Ctrl-C
  # ends at once, again leaving no temporary files and no ffmpeg. A keys.dat
  # that is a directory is reported and the capture goes on without it.
  need_assets
  link_run_dir
  rm "$work/run/keys.dat" && mkdir "$work/run/keys.dat"
  mkdir "$work/tmp"
  cd "$work/run"
  timeout --foreground -s KILL 120 ./kelvane12-capture --to 60 --fps 2 --out "$work/frames" \
    2>"$work/err.txt" &
  pid=$!
  wait_for_file "$work/frames/frame_000001.png" 120 || fail "no frames: $(cat "$work/err.txt")"
  kill -INT $pid
  wait $pid; rc=$?
  [ "$rc" = 130 ] || fail "PNG capture: exit status $rc, expected 130: $(cat "$work/err.txt")"
  grep -q "keys.dat (it is a directory)" "$work/err.txt" || fail "keys.dat: $(cat "$work/err.txt")"
  kept=$(sed -n 's/.*kept \([0-9]*\) frames in.*/\1/p' "$work/err.txt")
  [ "$kept" = "$(ls "$work/frames" | wc -l)" ] || fail "kept '$kept' frames: $(ls "$work/frames")"
  for f in "$work"/frames/*.png; do
    identify "$f" >/dev/null 2>&1 || fail "$(basename "$f") is not a whole PNG"
  done

  video="$work/kelvane's show.mp4"
  TMPDIR="$work/tmp" timeout --foreground -s KILL 120 ./kelvane12-capture --to 60 --fps 2 \
    --video "$video" 2>"$work/err2.txt" &
  pid=$!
  wait_for_text "$work/err2.txt" "^frame 1/" 120 || fail "video: no frame: $(cat "$work/err2.txt")"
  kill -TERM $pid
  wait $pid; rc=$?
  [ "$rc" = 143 ] || fail "video capture: exit status $rc, expected 143: $(cat "$work/err2.txt")"
  grep -q "kept $video" "$work/err2.txt" || fail "video: $(cat "$work/err2.txt")"
  streams=$(probe_mp4 "$video")
  echo "$streams" | grep -q "video,[1-9]" && echo "$streams" | grep -q "audio,[1-9]" ||
    fail "the kept video does not play: '$streams'"
  [ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"

  TMPDIR="$work/tmp" timeout --foreground -s KILL 120 ./kelvane12-capture --to 60 --fps 2 \
    --video "$work/second.mp4" 2>"$work/err3.txt" &
  pid=$!
  wait_for_text "$work/err3.txt" "^frame 1/" 120 || fail "second: no frame: $(cat "$work/err3.txt")"
  kill -INT $pid
  sleep 0.3
  kill -INT $pid
  wait $pid; rc=$?
  [ "$rc" = 130 ] || fail "twice Ctrl-C: exit status $rc, expected 130"
  [ -z "$(ls -A "$work/tmp")" ] || fail "left behind after twice Ctrl-C: $(ls -A "$work/tmp")"
  sleep 0.5
  pgrep -f "file:$work/tmp" >/dev/null && fail "ffmpeg still runs after twice Ctrl-C"
  ;;
capture-write-failures)
  # A file-size limit makes the first frame fail: named with its reason,
  # status 1, no partial frame. Through an ffmpeg that takes everything, the
  # music stretch fails the same way and nothing is left in TMPDIR.
  need_assets
  mkdir "$work/tmp"
  run_limited 1 "$work/err.txt" "$run/kelvane12-capture" --to 0 --fps 1 --out "$work/frames"
  rc=$(cat "$work/err.txt.rc")
  [ "$rc" = 1 ] || fail "full frames: exit status $rc, expected 1: $(tail -n 3 "$work/err.txt")"
  grep -q "cannot write $work/frames/frame_000000.png (File too large)" "$work/err.txt" ||
    fail "frame write: $(cat "$work/err.txt")"
  [ -z "$(ls -A "$work/frames")" ] || fail "a failed frame was left: $(ls "$work/frames")"

  fake_ffmpeg 'cat >/dev/null; for a; do out=$a; done; : >"${out#file:}"'
  run_limited 100 "$work/err2.txt" env PATH="$work/bin:$PATH" TMPDIR="$work/tmp" \
    "$run/kelvane12-capture" --to 1 --fps 1 --video "$work/v.mp4"
  rc=$(cat "$work/err2.txt.rc")
  [ "$rc" = 1 ] || fail "music stretch: exit status $rc, expected 1: $(tail -n 3 "$work/err2.txt")"
  grep -q "cannot write $work/tmp/.*/music.pcm (File too large)" "$work/err2.txt" ||
    fail "music stretch: $(cat "$work/err2.txt")"
  [ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"
  [ ! -e "$work/v.mp4" ] || fail "a video was made"
  ;;
capture-ffmpeg)
  # File names reach ffmpeg as they are, never a shell. An ffmpeg that exits
  # at once is reported (not a SIGPIPE death); an unusable TMPDIR is named
  # before anything is drawn.
  need_assets
  mkdir "$work/tmp"
  cd "$work"
  name="x.mp4'; touch INJECTED; echo '"
  TMPDIR="$work/tmp" "$run/kelvane12-capture" --to 0 --fps 1 --video "$name" 2>"$work/err.txt"
  rc=$?
  [ $rc -eq 0 ] || fail "odd name: exit status $rc: $(tail -n 3 "$work/err.txt")"
  [ ! -e INJECTED ] || fail "the file name ran as shell code"
  probe_mp4 "$name" | grep -q "video,1" || fail "no video under the odd name: $(ls)"

  fake_ffmpeg 'exit 3'
  PATH="$work/bin:$PATH" TMPDIR="$work/tmp" \
    "$run/kelvane12-capture" --to 1 --fps 1 --video "$work/v.mp4" 2>"$work/err2.txt"
  rc=$?
  [ $rc -eq 1 ] || fail "early ffmpeg exit: exit status $rc, expected 1: $(tail -n 3 "$work/err2.txt")"
  grep -q "ffmpeg stopped taking frames for $work/v.mp4 (Broken pipe; ffmpeg: exit status 3)" \
    "$work/err2.txt" || fail "early ffmpeg exit: $(cat "$work/err2.txt")"
  [ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"

  TMPDIR=/nonexistent env -u DISPLAY "$run/kelvane12-capture" --video "$work/v.mp4" \
    2>"$work/err3.txt"
  rc=$?
  [ $rc -eq 1 ] || fail "bad TMPDIR: exit status $rc, expected 1"
  grep -q "TMPDIR=/nonexistent" "$work/err3.txt" || fail "bad TMPDIR: $(cat "$work/err3.txt")"
  grep -qi "display" "$work/err3.txt" && fail "bad TMPDIR: a window was attempted"
  ;;
capture-range)
  # --from gives the whole show's frames: 2 and 3 s equal frames 2 and 3 of a
  # capture from 0, pixel for pixel (a fresh start at 2 s differs at 3 s).
  # TMPDIR is not needed without --video.
  need_assets
  "$run/kelvane12-capture" --to 3 --fps 1 --out "$work/whole" 2>"$work/err1.txt" ||
    fail "whole capture: $(tail -n 3 "$work/err1.txt")"
  TMPDIR=/nonexistent "$run/kelvane12-capture" --from 2 --to 3 --fps 1 --out "$work/range" \
    2>"$work/err2.txt" || fail "range capture: $(tail -n 3 "$work/err2.txt")"
  grep -q "running the show up to 2.00 s" "$work/err2.txt" || fail "progress: $(cat "$work/err2.txt")"
  [ "$(ls "$work/range" | wc -l)" -eq 2 ] || fail "range frames: $(ls "$work/range")"
  for n in 0 1; do
    compare -metric AE "$work/range/frame_00000$n.png" "$work/whole/frame_00000$((n + 2)).png" \
      null: 2>"$work/ae.txt" ||
      fail "range frame $n differs from whole frame $((n + 2)) in $(cat "$work/ae.txt") pixels"
  done
  ;;
damaged-files)
  # Before any window: a music file cut short of its header's length, a cut
  # JPEG and a cut PNG are each named, with status 1.
  need_assets
  link_run_dir
  cd "$work/run"
  rm gfx && mkdir gfx && ln -s "$run"/gfx/* gfx/
  for file in "$music" gfx/loader.jpg gfx/txt9.png; do
    cut_in_half "$file"
    env -u DISPLAY ./kelvane12 >out.txt 2>err.txt
    rc=$?
    [ $rc -eq 1 ] || fail "$file cut short: exit status $rc, expected 1"
    grep -q "$file" err.txt || fail "$file cut short: message does not name it: $(cat err.txt)"
    grep -q "cut short" err.txt || fail "$file cut short: no reason: $(cat err.txt)"
    grep -qi "display" err.txt && fail "$file cut short: a window was attempted"
    if [ "$file" = "$music" ]; then
      # The capture would otherwise stop at the cut with status 0.
      env -u DISPLAY ./kelvane12-capture --fps 1 --out "$work/frames" 2>err.txt
      rc=$?
      [ $rc -eq 1 ] && grep -q "cut short" err.txt ||
        fail "capture with the music cut short: exit status $rc: $(cat err.txt)"
    fi
    rm "$file" && ln -s "$run/$file" "$file"
  done
  # A mesh with a NaN point ends the show before its window, naming the mesh.
  rm Objects && mkdir Objects && ln -s "$run"/Objects/* Objects/
  rm Objects/glowa32.lwo && write_nan_mesh Objects/glowa32.lwo
  env -u DISPLAY ./kelvane12 >out.txt 2>err.txt
  rc=$?
  [ $rc -eq 1 ] || fail "NaN mesh: exit status $rc, expected 1"
  grep -q "Objects/glowa32.lwo: .*not at a finite position" err.txt || fail "NaN mesh: $(cat err.txt)"
  ;;
mesh-input)
  # The mesh tool refuses what is not a regular file (without reading it or
  # waiting on it) and points that are not finite, naming the file.
  [ -x "$meshinfo" ] || { echo "no kelvane12-meshinfo, skipped"; exit 77; }
  timeout 10 "$meshinfo" /dev/zero >/dev/null 2>"$work/err.txt"
  rc=$?
  [ $rc -eq 1 ] || fail "/dev/zero: exit status $rc, expected 1"
  grep -q "/dev/zero: not a regular file" "$work/err.txt" || fail "/dev/zero: $(cat "$work/err.txt")"
  mkfifo "$work/pipe.lwo"
  timeout 10 "$meshinfo" "$work/pipe.lwo" >/dev/null 2>"$work/err.txt"
  rc=$?
  [ $rc -eq 1 ] || fail "a pipe: exit status $rc, expected 1"
  write_nan_mesh "$work/nan.lwo"
  "$meshinfo" "$work/nan.lwo" >/dev/null 2>"$work/err.txt"
  rc=$?
  [ $rc -eq 1 ] || fail "NaN point: exit status $rc, expected 1"
  grep -q "nan.lwo: PNTS chunk at offset 12: point 0 is not at a finite position" "$work/err.txt" ||
    fail "NaN point: $(cat "$work/err.txt")"
  ;;
*)
  echo "usage: fault_test.sh show-signals|capture-signals|capture-write-failures|capture-ffmpeg|capture-range|damaged-files|mesh-input RUNDIR [MESHINFO]" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
