#!/usr/bin/env bash
# The bare case count passes on the source tree against its record, and on
# planted trees fails exactly when a shipped file holds more bare case
# numbers than recorded. Usage: check_bare_cases_test.sh <source-root>
set -uo pipefail
root=$1
check="$root/scripts/check_bare_cases.sh"
fail=0
bash "$check" "$root" >/dev/null || { echo "FAIL: the source tree has more bare cases than recorded:"; bash "$check" "$root"; fail=1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
# plant <expect: pass|fail> <record line or ""> then "<file>|<text>" pairs
plant() {
  local expect=$1 record=$2; shift 2
  rm -rf "${tree:?}"/* && mkdir -p "$tree/scripts"
  printf '# record\n%s\n' "$record" >"$tree/scripts/bare_case_counts.txt"
  local spec
  for spec in "$@"; do
    mkdir -p "$tree/$(dirname "${spec%%|*}")"
    printf 'int f(int v) {\n  switch (v) {\n%b\n  }\n}\n' "${spec#*|}" >>"$tree/${spec%%|*}"
  done
  if bash "$check" "$tree" >/dev/null; then got=pass; else got=fail; fi
  [ "$got" = "$expect" ] || { echo "FAIL: record \"$record\" with $* should $expect, it did $got"; fail=1; }
}
plant pass "1 sharing/a.cpp" "sharing/a.cpp|    case 2: return 1;"
plant fail "1 sharing/a.cpp" "sharing/a.cpp|    case 2: return 1;\n    case 4: return 2;"
plant fail "1 sharing/a.cpp" "sharing/a.cpp|    case 1: case 0x1F: return 1;"
plant fail "1 sharing/a.cpp" "sharing/a.cpp|    case 2: return 1;" "video/b.h|    case -1 : return 0;"
plant pass "2 sharing/a.cpp" "sharing/a.cpp|    case 2: return 1;"  # fewer than recorded
plant pass "" "sharing/a.cpp|    case kSessionJoined: return 1;\n    case Kind::kVideo: return 2;\n    case 'x': return 3;"
plant pass "" "sharing/a_test.cpp|    case 2: return 1;" "sharing/a_testlib.h|    case 2: return 1;" \
  "sharing/a_fuzz.cpp|    case 2: return 1;" "sharing/a_bench.cpp|    case 2: return 1;" "scripts/t.cpp|    case 2:"
plant fail "" "outside/vzwire/relay/r.cpp|    case 200u: return 1;"
# The record is written from the tree and then holds it.
rm -rf "${tree:?}"/* && mkdir -p "$tree/scripts" "$tree/weblink"
printf 'int f(int v) {\n  switch (v) {\n    case 1: return 1;\n    case 2: return 2;\n  }\n}\n' >"$tree/weblink/w.cpp"
bash "$check" --update "$tree" >/dev/null
grep -qx '2 weblink/w.cpp' "$tree/scripts/bare_case_counts.txt" || { echo "FAIL: --update did not record weblink/w.cpp's 2"; fail=1; }
bash "$check" "$tree" >/dev/null || { echo "FAIL: a tree fails against its own record"; fail=1; }
[ "$fail" = 0 ] && echo "bare case check: passes the tree, catches the planted cases"
exit "$fail"
