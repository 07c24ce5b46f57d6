#!/bin/sh
# Lines of code per folder, lines of tests, and the share of tests against the
# code. Counts the committed files (git ls-files), so build output and scratch
# files never count. Code is C++, GLSL and the build and test scripts outside
# tests/; tests are everything under tests/. The mutant tables under
# scripts/mutants/ are data for the mutation runner and count as neither.
# usage: sh scripts/line-counts.sh [--max PERCENT]
#   --max PERCENT   exit 1 when the tests exceed PERCENT % of the code
set -eu
cd "$(dirname "$0")/.."

max=""
case "${1:-}" in
  "") ;;
  --max)
    [ $# -eq 2 ] || { echo "usage: sh scripts/line-counts.sh [--max PERCENT]" >&2; exit 2; }
    max=$2 ;;
  *) echo "usage: sh scripts/line-counts.sh [--max PERCENT]" >&2; exit 2 ;;
esac

# Lines of the committed files under $1 whose names match the code patterns.
count() {
  git ls-files -z -- "$1" ':!scripts/mutants' | tr '\0' '\n' |
    grep -E '\.(cpp|h|glsl|cs|sh|txt)$|CMakeLists\.txt$' |
    tr '\n' '\0' | xargs -0 -r cat | wc -l
}

total=0
printf '%-12s %7s\n' folder lines
for dir in core objects particles overlays render scenes runtime tools bench scripts assets packaging; do
  n=$(count "$dir")
  total=$((total + n))
  printf '%-12s %7d\n' "$dir/" "$n"
done
tests=$(count tests)
printf '%-12s %7d\n' "code" "$total"
printf '%-12s %7d\n' "tests/" "$tests"
pct=$((100 * tests / total))
echo "tests are $pct % of the code"
if [ -n "$max" ] && [ "$pct" -gt "$max" ]; then
  echo "over the limit of $max %" >&2
  exit 1
fi
