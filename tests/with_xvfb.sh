#!/bin/sh
# Runs a command on a virtual X server of its own. Xvfb chooses a free display
# number itself (-displayfd) and reports it once it accepts connections, so
# tests can run side by side without two of them taking the same display.
# The server never resets (-noreset): a program that probes the display and
# reconnects must find the same server.
# usage: sh tests/with_xvfb.sh WxHxDEPTH COMMAND [ARG...]
set -u
[ $# -ge 2 ] || { echo "usage: sh tests/with_xvfb.sh WxHxDEPTH COMMAND [ARG...]" >&2; exit 2; }
screen=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/xvfb.XXXXXX") || exit 1
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$screen" 3>"$dir/display" 2>"$dir/log" &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "with_xvfb: Xvfb did not start: $(cat "$dir/log")" >&2; exit 1; }
DISPLAY=:$(head -n 1 "$dir/display") "$@"
