#!/usr/bin/env bash
# Counts the bare numbers among the case labels of shipped code ("case 2:",
# "case 0x1F:"), file by file, against the record beside this script, and
# fails when a file holds more than its recorded count (a file the record
# does not name may hold none). A value that two sides must agree on has a
# name in one header both include; a switch over the bare numbers agrees
# with the other side only by chance. The record may only shrink: when a
# file holds fewer than recorded, the check passes and says so, and the
# record is lowered with --update.
# Tests, test helpers, fuzz targets and benchmarks are not shipped and are
# not counted; scripts/, cmake/ and build folders neither.
# Usage: check_bare_cases.sh [--update] [source-root [record]]
set -uo pipefail
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
record=${2:-$root/scripts/bare_case_counts.txt}
cd "$root" || exit 2

counts=$(find . -path ./build -prune -o -path './build-*' -prune -o -path ./.git -prune -o \
              -path ./scripts -prune -o -path ./cmake -prune -o \
              -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cc' -o -name '*.hpp' \) \
              ! -name '*_test.cpp' ! -name '*_test.h' ! -name '*_testlib.*' ! -name '*_fuzz.cpp' \
              ! -name '*_bench.cpp' -print0 |
  xargs -0 -r grep -oE '\bcase[[:space:]]+-?(0[xX][0-9a-fA-F]+|[0-9]+)[uUlL]*[[:space:]]*:' /dev/null |
  awk -F: '{ sub(/^\.\//, "", $1); n[$1]++ } END { for (f in n) print n[f], f }' | LC_ALL=C sort -k2)

if [ "$update" = 1 ]; then
  {
    echo "# Bare numbers among the case labels of each shipped file: scripts/check_bare_cases.sh."
    echo "# A count here may only go down (--update writes the counts of today's tree)."
    printf '%s\n' "$counts" | sed '/^$/d'
  } >"$record"
  echo "bare cases: record written, $(printf '%s\n' "$counts" | awk '{ s += $1 } END { print s + 0 }') in all"
  exit 0
fi

[ -f "$record" ] || { echo "bare cases: no record at $record" >&2; exit 2; }
printf '%s\n' "$counts" | awk -v record="$record" '
  BEGIN {
    while ((getline line < record) > 0) {
      if (line ~ /^#/ || line ~ /^[[:space:]]*$/) continue
      split(line, part, " "); allowed[part[2]] = part[1] + 0; recorded += part[1]
    }
  }
  NF == 2 {
    total += $1; seen[$2] = 1
    if ($1 > allowed[$2] + 0) {
      printf "%s: %d bare case numbers, %d recorded: name the values (a header both sides include)\n", $2, $1, allowed[$2] + 0
      bad = 1
    } else if ($1 < allowed[$2]) {
      lower = 1
    }
  }
  END {
    for (f in allowed) if (!(f in seen) && allowed[f] > 0) lower = 1
    if (bad) exit 1
    printf "bare cases: %d in shipped code, %d recorded", total, recorded
    if (lower) printf "; fewer than recorded: lower the record (check_bare_cases.sh --update)"
    printf "\n"
  }'
