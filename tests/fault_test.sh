#!/bin/sh
# The show, the capture tool and the mesh tool under faults and bad input:
# signals, failing writes, hostile file names, a broken ffmpeg, damaged files.
# usage: fault_test.sh CASE RUNDIR [MESHINFO]   (the GL cases run on a virtual X server)
. "$(dirname "$0")/program_common.sh"
meshinfo=${3:-}
# Video and audio frames of an MP4, as "video,N audio,M".
probe_mp4() {
  ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames -of csv=p=0 "$1" | tr '\n' ' '
}
# Runs a command under a file-size limit of $1 blocks (the programs ignore
# SIGXFSZ, so their writes fail with EFBIG); its messages go through a pipe,
# which the limit does not cover, to err.txt, its exit status to err.txt.rc.
run_limited() {
  rm -f "$work/err.txt.rc"
  { (ulimit -f "$1"; shift; exec "$@" 2>&1 >/dev/null); echo $? >"$work/err.txt.rc"; } | cat >"$work/err.txt"
}
# A mesh of one point whose x is a NaN: FORM, LWO2, a PNTS chunk.
write_nan_mesh() { printf 'FORM\0\0\0\030LWO2PNTS\0\0\0\014\177\300\0\0\0\0\0\0\0\0\0\0' >"$1"; }
# An ffmpeg on the PATH that runs the shell text $1 instead.
fake_ffmpeg() {
  mkdir -p "$work/bin" && printf '#!/bin/sh\n%s\n' "$1" >"$work/bin/ffmpeg" && chmod +x "$work/bin/ffmpeg"
}
# Starts a capture of the whole show in the background; sets pid.
start_capture() {
  TMPDIR="$work/tmp" timeout --foreground -s KILL 120 ./kelvane12-capture --to 60 --fps 2 "$@" 2>"$work/err.txt" &
  pid=$!
}
# Sends the signal $1 to the program started last: it ends with status $2.
stop_with() { kill -"$1" $pid; wait $pid; expect_status $? "$2" "$3: SIG$1"; }
expect_tmp_empty() { [ -z "$(ls -A "$work/tmp")" ] || fail "$1: left behind: $(ls -A "$work/tmp")"; }
# A copy of /dev/full at $1 (a named pipe where mknod is not allowed).
make_device() { mknod "$1" c 1 7 2>/dev/null || mkfifo "$1"; }

case $case_name in
show-signals)
  # SIGTERM, Ctrl-C and SIGHUP end the show at once with 143, 130 and 129,
  # the recording kept; a recording that cannot be opened (a named pipe, not
  # waited on) or written says why, the show plays on and its end reports the
  # failure with status 1. A key track of bytes that are no entries (an
  # Escape first) is named and the show plays on past the music's start.
  need_assets
  cd "$run"
  KELVANE_RECORD="$work/recorded.dat" start_show
  keys z
  wait_for "$work/recorded.dat" 20 || fail "the key was not recorded"
  stop_with TERM 143 "show"
  expect "$work/err.txt" "SIGTERM" "stopped by SIGTERM"
  expect "$work/recorded.dat" "recording" '^z [0-9.]*$'

  mkfifo "$work/pipe.dat"
  KELVANE_RECORD="$work/pipe.dat" start_show
  wait_for "$work/err.txt" 20 "cannot record keys to $work/pipe.dat (not a regular file)" ||
    fail "a pipe as the recording: $(cat "$work/err.txt")"
  stop_with INT 130 "show"
  [ -p "$work/pipe.dat" ] || fail "the pipe was replaced"

  # A file-size limit of 0: the recording's first line cannot be written.
  run_limited 0 env KELVANE_RECORD="$work/limited.dat" SDL_AUDIODRIVER=dummy \
    timeout --foreground -s KILL 90 ./kelvane12 &
  window=$(timeout 60 xdotool search --sync --name '^kelvane12$' | head -n 1)
  [ -n "$window" ] || fail "limited show: no window: $(cat "$work/err.txt")"
  keys z
  wait_for "$work/err.txt" 20 "cannot write the key recording" || fail "failed recording write not reported"
  expect "$work/err.txt" "failed recording write" "limited.dat (File too large)"
  sleep 1
  [ ! -e "$work/err.txt.rc" ] || fail "the show ended with its recording"
  keys Escape
  wait_for "$work/err.txt.rc" 60 || fail "Escape did not end the show"
  expect_status "$(cat "$work/err.txt.rc")" 1 "failed recording"

  link_run_dir
  cd "$work/run"
  rm keys.dat
  { printf '\033x'; head -c 4096 /dev/urandom; } >keys.dat
  KELVANE_RECORD="$work/noise.rec" start_show
  wait_for "$work/err.txt" 20 "keys.dat has no whole entry (line 1: no time after the key byte 0x1b)" ||
    fail "random key track not reported: $(cat "$work/err.txt")"
  for i in $(seq 120); do
    keys q q
    t=$(tail -n 1 "$work/noise.rec" 2>/dev/null | cut -d' ' -f2)
    [ -n "$t" ] && gt "$t" 1 && break
  done
  gt "${t:-0}" 1 || fail "random key track: the music did not pass 1 s"
  kill -0 $pid 2>/dev/null || fail "random key track: the show ended: $(cat "$work/err.txt")"
  stop_with HUP 129 "show"
  expect "$work/err.txt" "SIGHUP" "stopped by SIGHUP"
  ;;
capture-signals)
  # Ctrl-C ends a PNG capture after its frame, whole frames kept; SIGHUP (as
  # SIGTERM) a video capture with a playable MP4 of what was written (the
  # name has an apostrophe); a second Ctrl-C ends at once. No temporary files or ffmpeg
  # stay behind. A keys.dat that is a directory is reported and skipped.
  need_assets
  link_run_dir
  rm "$work/run/keys.dat" && mkdir "$work/run/keys.dat" "$work/tmp"
  cd "$work/run"
  start_capture --out "$work/frames"
  wait_for "$work/frames/frame_000001.png" 120 || fail "no frames: $(cat "$work/err.txt")"
  stop_with INT 130 "PNG capture"
  expect "$work/err.txt" "keys.dat" "keys.dat (it is a directory)"
  kept=$(sed -n 's/.*kept \([0-9]*\) frames in.*/\1/p' "$work/err.txt")
  [ "$kept" = "$(ls "$work/frames" | wc -l)" ] || fail "kept '$kept' frames: $(ls "$work/frames")"
  for f in "$work"/frames/*.png; do
    identify "$f" >/dev/null 2>&1 || fail "$(basename "$f") is not a whole PNG"
  done

  video="$work/kelvane's show.mp4"
  start_capture --video "$video"
  wait_for "$work/err.txt" 120 "^frame 1/" || fail "video: no frame: $(cat "$work/err.txt")"
  stop_with HUP 129 "video capture"
  expect "$work/err.txt" "video capture" "stopped by SIGHUP" "kept $video"
  streams=$(probe_mp4 "$video")
  echo "$streams" | grep -q "video,[1-9]" && echo "$streams" | grep -q "audio,[1-9]" ||
    fail "the kept video does not play: '$streams'"
  expect_tmp_empty "SIGHUP"
  [ -z "$(ls -A "$work" | grep kelvane12-)" ] || fail "SIGHUP: left beside the video: $(ls -A "$work")"

  start_capture --video "$work/second.mp4"
  wait_for "$work/err.txt" 120 "^frame 1/" || fail "second: no frame: $(cat "$work/err.txt")"
  kill -INT $pid
  sleep 0.3
  stop_with INT 130 "twice Ctrl-C"
  expect_tmp_empty "twice Ctrl-C"
  sleep 0.5
  pgrep -f "file:$work/tmp" >/dev/null && fail "ffmpeg still runs after twice Ctrl-C"
  ;;
capture-write-failures)
  # A file-size limit makes the first frame fail: named with its reason,
  # status 1, no partial frame. Through an ffmpeg that takes everything, the
  # music stretch fails the same way and nothing is left in TMPDIR.
  need_assets
  mkdir "$work/tmp"
  run_limited 1 "$run/kelvane12-capture" --to 0 --fps 1 --out "$work/frames"
  expect_status "$(cat "$work/err.txt.rc")" 1 "full frames"
  expect "$work/err.txt" "frame write" "cannot write $work/frames/frame_000000.png (File too large)"
  [ -z "$(ls -A "$work/frames")" ] || fail "a failed frame was left: $(ls "$work/frames")"

  fake_ffmpeg 'cat >/dev/null; for a; do out=$a; done; : >"${out#file:}"'
  run_limited 100 env PATH="$work/bin:$PATH" TMPDIR="$work/tmp" \
    "$run/kelvane12-capture" --to 1 --fps 1 --video "$work/v.mp4"
  expect_status "$(cat "$work/err.txt.rc")" 1 "music stretch"
  expect "$work/err.txt" "music stretch" "cannot write $work/tmp/.*/music.pcm (File too large)"
  expect_tmp_empty "music stretch"
  [ ! -e "$work/v.mp4" ] || fail "a video was made"
  ;;
capture-ffmpeg)
  # File names reach ffmpeg as they are, never a shell, and the video holds
  # the frames the right way up. An ffmpeg that exits at once is reported
  # (not a SIGPIPE death); an unusable TMPDIR is named before anything is drawn.
  need_assets
  mkdir "$work/tmp"
  cd "$work"
  name="x.mp4'; touch INJECTED; echo '"
  TMPDIR="$work/tmp" capture --quick-start --from 37.5 --to 37.5 --fps 1 --video "$name" --out png
  expect_status $? 0 "odd name"
  [ ! -e INJECTED ] || fail "the file name ran as shell code"
  probe_mp4 "$name" | grep -q "video,1" || fail "no video under the odd name: $(ls)"
  ffmpeg -v error -i "file:$name" -frames:v 1 video.png || fail "cannot read the video's frame"
  rmse=$(compare -metric RMSE png/frame_000000.png video.png null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  gt "$rmse" 0.02 && fail "the video's frame differs from the PNG frame (RMSE $rmse)"

  fake_ffmpeg 'exit 3'
  PATH="$work/bin:$PATH" TMPDIR="$work/tmp" capture --to 1 --fps 1 --video "$work/v.mp4"
  expect_status $? 1 "early ffmpeg exit"
  expect "$work/err.txt" "early ffmpeg exit" \
    "ffmpeg stopped taking frames for $work/v.mp4 (Broken pipe; ffmpeg: exit status 3)"
  expect_tmp_empty "early ffmpeg exit"

  TMPDIR=/nonexistent env -u DISPLAY "$run/kelvane12-capture" --video "$work/v.mp4" 2>"$work/err.txt"
  expect_status $? 1 "bad TMPDIR"
  expect "$work/err.txt" "bad TMPDIR" "TMPDIR=/nonexistent"
  grep -qi "display" "$work/err.txt" && fail "bad TMPDIR: a window was attempted"
  ;;
capture-range)
  # --from gives the whole show's frames: 2 and 3 s equal frames 2 and 3 of a
  # capture from 0, pixel for pixel (a fresh start at 2 s differs at 3 s).
  # TMPDIR is not needed without --video.
  need_assets
  capture --to 3 --fps 1 --out "$work/whole" || fail "whole capture: $(tail -n 3 "$work/err.txt")"
  TMPDIR=/nonexistent capture --from 2 --to 3 --fps 1 --out "$work/range" || fail "range capture"
  expect "$work/err.txt" "range capture" "running the show up to 2.00 s"
  [ "$(ls "$work/range" | wc -l)" -eq 2 ] || fail "range frames: $(ls "$work/range")"
  for n in 0 1; do
    compare -metric AE "$work/range/frame_00000$n.png" "$work/whole/frame_00000$((n + 2)).png" null: \
      2>"$work/ae.txt" || fail "range frame $n differs from whole frame $((n + 2)) in $(cat "$work/ae.txt") pixels"
  done
  ;;
damaged-files)
  # Before any window: a music file cut short of its header's length, a cut
  # JPEG and a cut PNG are each named, with status 1; so is a mesh with a
  # point that is not finite.
  need_assets
  link_run_dir gfx Objects
  cd "$work/run"
  write_nan_mesh nan.lwo
  for file in "$music" gfx/loader.jpg gfx/txt9.png Objects/glowa32.lwo; do
    rm "$file"
    if [ "$file" = Objects/glowa32.lwo ]; then
      cp nan.lwo "$file"
      reason="not at a finite position"
    else
      head -c $(($(wc -c <"$run/$file") / 2)) "$run/$file" >"$file"
      reason="cut short"
    fi
    env -u DISPLAY ./kelvane12 >/dev/null 2>"$work/err.txt"
    expect_status $? 1 "$file"
    expect "$work/err.txt" "$file" "$file.*$reason"
    grep -qi "display" "$work/err.txt" && fail "$file: a window was attempted"
    if [ "$file" = "$music" ]; then
      # The capture would otherwise stop at the cut with status 0.
      env -u DISPLAY ./kelvane12-capture --fps 1 --out "$work/frames" 2>"$work/err.txt"
      expect_status $? 1 "capture with the music cut short"
      expect "$work/err.txt" "capture with the music cut short" "cut short"
    fi
    rm "$file" && ln -s "$run/$file" "$file"
  done
  ;;
mesh-input)
  # The mesh tool counts the generated soft body (642 skin and 160 bone
  # points, the bone the pinned fifth); it refuses what is not a regular file
  # (without reading it or waiting on it) and points that are not finite.
  [ -x "$meshinfo" ] || { echo "no kelvane12-meshinfo, skipped"; exit 77; }
  "$meshinfo" "$run/Objects/obj4flak1bone.lwo" >"$work/out.txt" 2>"$work/err.txt"
  expect_status $? 0 "soft body"
  expect "$work/out.txt" "soft body" "^points: 802$" "^pinned: 160$"
  "$meshinfo" >/dev/null 2>"$work/err.txt"
  expect_status $? 2 "no file"
  mkfifo "$work/pipe.lwo"
  write_nan_mesh "$work/nan.lwo"
  for entry in "/dev/zero|/dev/zero: not a regular file" "$work/pipe.lwo|pipe.lwo: not a regular file" \
               "$work/nan.lwo|nan.lwo: PNTS chunk at offset 12: point 0 is not at a finite position"; do
    timeout 10 "$meshinfo" "${entry%%|*}" >/dev/null 2>"$work/err.txt"
    expect_status $? 1 "${entry%%|*}"
    expect "$work/err.txt" "${entry%%|*}" "${entry#*|}"
  done
  ;;
capture-targets)
  # What sits at an output path is never removed: a device node, a named
  # pipe, a link to the device and a directory as --video, and a pipe in a
  # frame's place, are refused with a message and left as they are. A capture
  # through a link to a file that fails at its end leaves the link and the
  # old file; one that succeeds keeps the link, leading to the new video.
  need_assets
  mkdir "$work/tmp" "$work/frames" "$work/dir"
  cd "$work"
  make_device full
  mkfifo pipe.mp4 frames/frame_000000.png
  ln -s full full-link.mp4
  for target in full pipe.mp4 full-link.mp4 dir; do
    TMPDIR="$work/tmp" timeout -k 5 20 "$run/kelvane12-capture" --video "$target" 2>err.txt
    expect_status $? 1 "--video $target"
    expect err.txt "--video $target" "$target is a .*left as it is"
    expect_tmp_empty "--video $target"
  done
  { [ -c full ] || [ -p full ]; } && [ -p pipe.mp4 ] && [ -L full-link.mp4 ] && [ -d dir ] ||
    fail "an output target was removed: $(ls -l)"
  timeout -k 5 120 "$run/kelvane12-capture" --quick-start --from 37.5 --to 37.5 --fps 1 --out frames 2>err.txt
  expect_status $? 1 "a pipe as a frame"
  expect err.txt "a pipe as a frame" "frames/frame_000000.png (a named pipe is there; it is left as it is)"
  [ -p frames/frame_000000.png ] && [ "$(ls -A frames | wc -l)" = 1 ] || fail "frames: $(ls -lA frames)"

  echo "old video" >old.mp4
  ln -s old.mp4 link.mp4
  # An ffmpeg that takes the frames but fails to put the music under them.
  fake_ffmpeg 'case "$*" in *pipe:0*) cat >/dev/null; exit 0 ;; esac; exit 3'
  PATH="$work/bin:$PATH" TMPDIR="$work/tmp" capture --to 1 --fps 1 --video link.mp4
  expect_status $? 1 "failed mux through a link"
  expect err.txt "failed mux through a link" "ffmpeg failed to write $work/link.mp4 (exit status 3)"
  [ -L link.mp4 ] && [ "$(cat old.mp4)" = "old video" ] || fail "failed mux: $(ls -l)"
  ls -A | grep -q kelvane12- && fail "failed mux: left beside the video: $(ls -A)"
  expect_tmp_empty "failed mux"
  TMPDIR="$work/tmp" capture --quick-start --from 37.5 --to 37.5 --fps 1 --video link.mp4
  expect_status $? 0 "video through a link"
  [ -L link.mp4 ] && probe_mp4 old.mp4 | grep -q "video,1" || fail "video through a link: $(ls -l)"
  ls -A | grep -q kelvane12- && fail "video through a link: left beside it: $(ls -A)"
  ;;
capture-input)
  # Before any window: empty output names are usage errors, --help is not
  # one; --from past the end of the music is refused at once, its number
  # written shortly; without a display the capture says so in its own words.
  need_assets
  cd "$work"
  for option in --video --out; do
    "$run/kelvane12-capture" "$option" "" >/dev/null 2>err.txt
    expect_status $? 2 "$option ''"
    expect err.txt "$option ''" "^usage:"
  done
  "$run/kelvane12-capture" --help >help.txt 2>err.txt
  expect_status $? 0 "--help"
  expect help.txt "--help" "^usage: kelvane12-capture" "--video FILE"
  env -u DISPLAY timeout -k 5 20 "$run/kelvane12-capture" --from 1e308 2>err.txt
  expect_status $? 1 "--from 1e308"
  expect err.txt "--from 1e308" "--from 1e+308 lies past the end of the music"
  grep -q "[0-9]\{12\}" err.txt && fail "--from 1e308: a long number: $(cat err.txt)"
  env -u DISPLAY timeout -k 5 20 "$run/kelvane12-capture" --to 1 2>err.txt
  expect_status $? 1 "no display"
  expect err.txt "no display" "no X display" "make video"
  grep -qi "freeglut" err.txt && fail "no display: GLUT was started: $(cat err.txt)"
  ;;
start-up-inputs)
  # A named pipe in the place of a picture or the music, or a device, is
  # refused at once with the file's name and status 1, by the show and the
  # capture, before any window; a picture that is there but cannot be read
  # (a directory) is named as such, not as missing.
  need_assets
  link_run_dir gfx
  cd "$work/run"
  for file in gfx/panel.png gfx/txt9.png "$music"; do
    rm "$file"
    if [ "$file" = gfx/txt9.png ]; then make_device "$file"; else mkfifo "$file"; fi
    timeout -k 5 20 env -u DISPLAY ./kelvane12 >/dev/null 2>"$work/err.txt"
    expect_status $? 1 "$file"
    expect "$work/err.txt" "$file" "$file.*not a regular file"
    timeout -k 5 20 env -u DISPLAY ./kelvane12-capture --to 1 --out "$work/frames" 2>"$work/err.txt"
    expect_status $? 1 "capture: $file"
    expect "$work/err.txt" "capture: $file" "$file.*not a regular file"
    rm "$file" && ln -s "$run/$file" "$file"
  done
  rm gfx/txt9.png && mkdir gfx/txt9.png
  env -u DISPLAY ./kelvane12 >/dev/null 2>"$work/err.txt"
  expect_status $? 1 "a directory as a picture"
  expect "$work/err.txt" "a directory as a picture" "Cannot read image file in .: gfx/txt9.png (it is a directory)"
  grep -qi "missing" "$work/err.txt" && fail "a directory as a picture is called missing: $(cat "$work/err.txt")"
  ;;
*)
  echo "usage: fault_test.sh show-signals|capture-signals|capture-write-failures|capture-ffmpeg|capture-range|capture-targets|capture-input|start-up-inputs|damaged-files|mesh-input RUNDIR [MESHINFO]" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
