#!/usr/bin/env bash
# Counts the tests a CTest run skipped, by what they said they require, from
# the run's log (<build>/Testing/Temporary/LastTest.log). A skipped test says
# so in one line (platform/test_requirement_testlib.h):
#   requires <requirement>[, <requirement>...]: <why>
# where a requirement a Debian package meets is "package <name>". A GoogleTest
# case counts when it is reported SKIPPED (with the last such line it printed);
# a CTest test that is not a GoogleTest program counts when it prints the line.
# With --ci, a skip that requires a package listed in the package list (which
# CI installs), or that names no requirement, is a failure (exit 1).
# Usage: skipped_tests.sh [--ci] <LastTest.log> [packages.txt]
set -uo pipefail
usage="usage: $0 [--ci] <LastTest.log> [packages.txt]
  Prints how many tests were skipped, grouped by what they require, and the tests of each group.
  --ci: exit 1 when a skipped test requires a package of packages.txt (default: the one beside
  this script) or names no requirement; exit 0 otherwise."
ci=0
case "${1:-}" in
  --help|-h) echo "$usage"; exit 0 ;;
  --ci) ci=1; shift ;;
  -*) echo "$0: unknown option \"$1\"" >&2; echo "$usage" >&2; exit 2 ;;
esac
log=${1:-}
packages=${2:-$(cd "$(dirname "$0")" && pwd)/packages.txt}
if [ -z "$log" ] || [ ! -r "$log" ]; then
  echo "$0: no test log to read${log:+ at $log}" >&2
  exit 2
fi
if [ ! -r "$packages" ]; then
  echo "$0: no package list at $packages" >&2
  exit 2
fi

awk -v ci="$ci" -v packages="$packages" '
  BEGIN {
    while ((getline line < packages) > 0) {
      sub(/#.*/, "", line); gsub(/[ \t]/, "", line)
      if (line != "") installed[line] = 1
    }
    close(packages)
  }
  function note(test, requirement_line,   needs, i, n, parts, p) {
    if (requirement_line == "") {
      needs = "(no requirement named)"
    } else {
      needs = requirement_line
      sub(/^requires /, "", needs)
      sub(/: .*$/, "", needs)
    }
    ++total
    if (!(needs in count)) order[++groups] = needs
    ++count[needs]
    names[needs] = names[needs] (count[needs] <= 6 ? (count[needs] > 1 ? ", " : "") test : (count[needs] == 7 ? ", ..." : ""))
    if (requirement_line == "") { bad[++bads] = test " names no requirement"; return }
    n = split(needs, parts, /, /)
    for (i = 1; i <= n; ++i) {
      if (parts[i] ~ /^package / ) {
        p = substr(parts[i], 9)
        if (p in installed) { bad[++bads] = test " requires " p ", which the package list installs"; return }
      }
    }
  }
  /^[0-9]+\/[0-9]+ Testing: / { ctest = $3; gcase = ""; pending = ""; gtest = 0; next }
  /^\[ RUN      \] / { gcase = $4; pending = ""; gtest = 1; next }
  /^requires [^:]+: / {
    if (gtest) pending = $0
    else note(ctest, $0)
    next
  }
  /^\[  SKIPPED \] [^ ]+ \(/ { note(ctest ": " $4, pending); pending = ""; next }
  END {
    printf "%d test%s skipped\n", total, total == 1 ? "" : "s"
    for (g = 1; g <= groups; ++g) printf "  %3d  requires %s  (%s)\n", count[order[g]], order[g], names[order[g]]
    if (ci && bads > 0) {
      printf "FAILED in CI: %d skip%s that should have run\n", bads, bads == 1 ? "" : "s"
      for (b = 1; b <= bads; ++b) printf "  %s\n", bad[b]
      exit 1
    }
  }
' "$log"
