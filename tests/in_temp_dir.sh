#!/bin/sh
# Runs one test command with TMPDIR (and GoogleTest's TEST_TMPDIR) set to a
# fresh directory of its own, and removes that directory afterwards, whether
# the test passed, failed or was stopped: whatever a test writes to the
# temporary directory goes there and nowhere else.
# usage: sh tests/in_temp_dir.sh COMMAND [ARG...]
set -u
[ $# -ge 1 ] || { echo "usage: sh tests/in_temp_dir.sh COMMAND [ARG...]" >&2; exit 2; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/k12-test.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
TMPDIR=$dir TEST_TMPDIR=$dir "$@"
