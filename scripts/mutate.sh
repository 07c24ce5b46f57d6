#!/bin/sh
# Planted faults, one at a time: how many of them the test suite catches.
#
# Each mutant in the table replaces one exact piece of text in one file with
# another, standing for a fault a developer could really make. The runner
# copies the tracked files of the working tree into a scratch directory, builds it and runs the
# suite once unchanged (it must pass), then for each mutant: applies it,
# rebuilds what changed, runs the suite until the first failing test, records
# whether the fault was caught, and puts the file back. The source tree is
# never touched. At the end it prints a summary by folder.
#
# The suite runs label by label, quickest first (sim, gl, audio, assets, frames,
# program, release, fuzz), and stops at the first failure, so a caught mutant costs
# little; a missed one costs the whole suite.
#
# usage: sh scripts/mutate.sh [--table FILE] [--only REGEX] [--tests REGEX]
#                             [--targets "T..."] [--work DIR] [--check]
#   --table FILE   one mutant table (default: every scripts/mutants/*.txt)
#   --only REGEX   run only the mutants whose file or fault matches REGEX
#   --tests REGEX  run only the ctest tests matching REGEX (quicker, less strict)
#   --targets T    build only these targets (with --tests: what those tests run)
#   --work DIR     scratch directory to use and keep; a later run reuses its
#                  build, so only what changed since is rebuilt
#   --check        only check that every mutant's text occurs exactly once
#
# The tables: records separated by blank lines, one "key: value" per line.
#   file:       path relative to the source root
#   find:       the exact text to replace (must occur exactly once in the file)
#   replace:    its replacement
#   fault:      what fault it stands for
#   equivalent: (optional) why it cannot change behaviour; not counted
# Lines starting with # are comments. "\n" in find or replace is a new line.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
table=""
only=""
tests=""
targets=""
work=""
check=0
usage() { sed -n '16,24p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --table) [ $# -ge 2 ] || usage; table=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --only) [ $# -ge 2 ] || usage; only=$2; shift 2 ;;
    --tests) [ $# -ge 2 ] || usage; tests=$2; shift 2 ;;
    --targets) [ $# -ge 2 ] || usage; targets=$2; shift 2 ;;
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    --check) check=1; shift ;;
    *) usage ;;
  esac
done
if [ -n "$table" ]; then
  [ -f "$table" ] || { echo "mutate: no table $table" >&2; exit 2; }
  tables=$table
else
  tables=$(ls "$top"/scripts/mutants/*.txt)
fi

if [ -n "$work" ]; then
  mkdir -p "$work" || exit 1
  scratch=$(cd "$work" && pwd)
  trap 'echo "scratch kept in $scratch"' EXIT
else
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/k12-mutate.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
fi
trap 'exit 130' INT
trap 'exit 143' TERM

src=$scratch/src
echo "mutate: copying the tracked files to $src"
rm -rf "$src.new" && mkdir -p "$src.new"
(cd "$top" && git ls-files -z | tar --null --ignore-failed-read -T - -cf -) | tar -x -C "$src.new"
# Files whose contents did not change keep their times, so a reused build
# rebuilds only what changed; changed files are stamped now, since the copy
# keeps the working tree's times, which can be older than the build.
if [ -d "$src" ]; then
  (cd "$src.new" && find . -type f) | while read -r f; do
    if cmp -s "$src.new/$f" "$src/$f"; then touch -r "$src/$f" "$src.new/$f"; else touch "$src.new/$f"; fi
  done
  rm -rf "$src"
fi
mv "$src.new" "$src"
build=$scratch/build
log=$scratch/log.txt

# One record per line for the shell: fields joined by the unit separator.
records=$scratch/records
perl -e '
  local $/ = "";  # paragraph mode: records are separated by blank lines
  while (my $rec = <>) {
    my %f;
    for my $line (split /\n/, $rec) {
      next if $line =~ /^#/;
      $f{$1} = $2 if $line =~ /^(file|find|replace|fault|equivalent):\s?(.*)$/;
    }
    next unless exists $f{file};
    die "mutant without find/replace/fault: $rec" unless exists $f{find} && exists $f{replace} && exists $f{fault};
    print join("\x1f", $f{file}, $f{find}, $f{replace}, $f{fault}, $f{equivalent} // ""), "\n";
  }' $tables > "$records"

# The reference-frame check ends at its first differing moment here.
export K12_FIRST_DIFFERENCE_ENDS=1
run_suite() {  # exit status of the suite, stopping at the first failure
  if [ -n "$tests" ]; then
    (cd "$build" && ctest --stop-on-failure -R "$tests" >>"$log" 2>&1)
    return
  fi
  for label in sim gl audio assets frames program release fuzz; do
    (cd "$build" && ctest --stop-on-failure -L "^$label\$" >>"$log" 2>&1) || return 1
  done
}
# Replaces the one occurrence of FIND with REPLACE in the file, as plain text;
# fails, leaving the file as it was, when FIND does not occur exactly once.
apply_mutant() {
  FIND=$2 REPLACE=$3 perl -0777 -i -e '
      my ($f, $r) = ($ENV{FIND}, $ENV{REPLACE});
      s/\\n/\n/g for ($f, $r);
      my $text = <>;
      my $count = () = $text =~ /\Q$f\E/g;
      if ($count != 1) { print $text; exit 3; }
      $text =~ s/\Q$f\E/$r/;
      print $text;' "$1"
}

if [ $check -eq 1 ]; then
  bad=0
  while IFS=$(printf '\037') read -r file find replace fault equivalent <&3; do
    cp "$src/$file" "$scratch/original" 2>/dev/null || { echo "no file: $file"; bad=1; continue; }
    apply_mutant "$src/$file" "$find" "$replace" || { echo "stale: $file: $fault"; bad=1; }
    cp "$scratch/original" "$src/$file"
  done 3< "$records"
  echo "mutate: $(wc -l < "$records") mutants checked"
  exit $bad
fi
build_all() { cmake --build "$build" -j"$(nproc)" >>"$log" 2>&1; }
# After a mutant: only the --targets when given, else everything.
build_mutant() {
  [ -n "$targets" ] || { build_all; return; }
  # shellcheck disable=SC2086 # a list of target names
  cmake --build "$build" -j"$(nproc)" --target $targets >>"$log" 2>&1
}

echo "mutate: building (log in $log)"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >>"$log" 2>&1
build_all || { echo "mutate: the unchanged tree does not build" >&2; exit 1; }
echo "mutate: running the suite on the unchanged tree"
run_suite || { echo "mutate: the suite fails on the unchanged tree; see $log" >&2; exit 1; }

results=$scratch/results
: > "$results"
n=0
total=$(wc -l < "$records")
while IFS=$(printf '\037') read -r file find replace fault equivalent <&3; do
  n=$((n + 1))
  if [ -n "$only" ] && ! printf '%s %s\n' "$file" "$fault" | grep -Eq "$only"; then continue; fi
  folder=${file%%/*}
  if [ -n "$equivalent" ]; then
    printf '%s\tequivalent\t%s\t%s\n' "$folder" "$file" "$fault" >> "$results"
    printf '[%d/%d] equivalent  %s: %s\n' "$n" "$total" "$file" "$fault"
    continue
  fi
  target=$src/$file
  cp "$target" "$scratch/original"
  # Exactly one occurrence, replaced as plain text (no pattern characters).
  if ! apply_mutant "$target" "$find" "$replace"; then
    cp "$scratch/original" "$target"
    printf '%s\tstale\t%s\t%s\n' "$folder" "$file" "$fault" >> "$results"
    printf '[%d/%d] STALE       %s: the text does not occur exactly once\n' "$n" "$total" "$file"
    continue
  fi
  echo "=== mutant $n: $file: $fault" >> "$log"
  by=""
  if ! build_mutant; then
    verdict=no-build
  elif run_suite; then
    verdict=missed
  else
    # The test that failed first, from this mutant's part of the log.
    by=$(awk '/^=== mutant/ { t = "" } /\*\*\*Failed|\(Failed\)|Exception/ && t == "" {
                t = $0; sub(/^.*: /, "", t); sub(/ \..*$/, "", t) } END { print t }' "$log")
    verdict=caught
  fi
  cp "$scratch/original" "$target"
  printf '%s\t%s\t%s\t%s\t%s\n' "$folder" "$verdict" "$file" "$fault" "${by:-}" >> "$results"
  printf '[%d/%d] %-11s %s: %s%s\n' "$n" "$total" "$verdict" "$file" "$fault" "${by:+ (by $by)}"
done 3< "$records" < /dev/null
build_all || true

echo
echo "By folder (a mutant that does not build is not counted):"
awk -F'\t' '
  $2 == "caught" { caught[$1]++; counted[$1]++ }
  $2 == "missed" { counted[$1]++; missed[$1] = missed[$1] "\n      missed: " $3 ": " $4 }
  { seen[$1] = 1 }
  END {
    for (f in seen) {
      c = caught[f] + 0; t = counted[f] + 0; all_c += c; all_t += t
      printf "  %-10s %3d of %3d caught%s%s\n", f "/", c, t,
             t ? sprintf(" (%d %%)", 100 * c / t) : "", missed[f]
    }
    printf "  %-10s %3d of %3d caught%s\n", "all", all_c, all_t,
           all_t ? sprintf(" (%d %%)", 100 * all_c / all_t) : ""
  }' "$results"
grep -q "	stale	" "$results" && echo "Some mutants are stale: update their find text." || true
echo "Each mutant's verdict: $results"
