#!/usr/bin/env bash
# The skip counter groups skipped tests by what they require and, with --ci,
# fails exactly on skips whose requirement the package list installs or that
# name none. Usage: skipped_tests_test.sh <source-root>
set -uo pipefail
root=$1
count="$root/scripts/skipped_tests.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/vzskips.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail=0
printf 'xvfb\ntwm\n# a comment\nlibgles2   # with a comment after it\n' >"$work/packages.txt"

# A log as CTest writes it: a GoogleTest program with one case run, one skipped
# for want of root and one for want of Xvfb and twm; a script test that skips
# itself; a passing script test whose output mentions nothing.
cat >"$work/conditions.log" <<'LOG'
1/3 Testing: display_tests
1/3 Test: display_tests
Output:
----------------------------------------------------------
[ RUN      ] Desk.Runs
[       OK ] Desk.Runs (3 ms)
[ RUN      ] Desk.NeedsRoot
display_test.cpp:12: Skipped
requires root: only root gives a folder to another user
[  SKIPPED ] Desk.NeedsRoot (0 ms)
[ RUN      ] Managers/Desk.Full/twm
display_test.cpp:40: Skipped
requires package xvfb, package twm: twm is not installed (apt-get install twm)
[  SKIPPED ] Managers/Desk.Full/twm (1 ms)
[  SKIPPED ] 2 tests, listed below:
[  SKIPPED ] Desk.NeedsRoot
[  SKIPPED ] Managers/Desk.Full/twm
<end of output>
2/3 Testing: meeting_end_to_end_test
Output:
----------------------------------------------------------
requires package openbox: the window manager asked for is not installed
<end of output>
3/3 Testing: setup_script_test
Output:
----------------------------------------------------------
all cases passed
<end of output>
LOG
out=$(bash "$count" "$work/conditions.log" "$work/packages.txt"); rc=$?
expect() {  # expect <what> <text>
  grep -qF -- "$2" <<<"$out" || { echo "FAIL: $1: no \"$2\" in:"; echo "$out"; fail=1; }
}
[ $rc -eq 0 ] || { echo "FAIL: without --ci the count exits $rc"; fail=1; }
expect "total" "3 tests skipped"
expect "root group" "1  requires root  (display_tests: Desk.NeedsRoot)"
expect "two packages" "1  requires package xvfb, package twm  (display_tests: Managers/Desk.Full/twm)"
expect "script test" "1  requires package openbox  (meeting_end_to_end_test)"

# In CI the twm skip fails (both packages are listed); openbox and root do not.
out=$(bash "$count" --ci "$work/conditions.log" "$work/packages.txt"); rc=$?
[ $rc -eq 1 ] || { echo "FAIL: --ci with a listed package exits $rc"; fail=1; }
expect "ci names the test" "display_tests: Managers/Desk.Full/twm requires xvfb, which the package list installs"
grep -q 'Desk.NeedsRoot\b.*installs\|openbox.*installs' <<<"$out" &&
  { echo "FAIL: a condition or an unlisted package failed the CI run: $out"; fail=1; }

# A package listed after its name on the line with a comment still counts; a
# skip that names no requirement fails in CI; nothing skipped passes.
cat >"$work/unnamed.log" <<'LOG'
1/1 Testing: render_tests
[ RUN      ] Gpu.Draw
render_test.cpp:9: Skipped
no GL context
[  SKIPPED ] Gpu.Draw (0 ms)
[ RUN      ] Gpu.Texture
render_test.cpp:19: Skipped
requires package libgles2: no OpenGL ES
[  SKIPPED ] Gpu.Texture (0 ms)
LOG
out=$(bash "$count" --ci "$work/unnamed.log" "$work/packages.txt"); rc=$?
[ $rc -eq 1 ] || { echo "FAIL: --ci with an unnamed skip exits $rc"; fail=1; }
expect "unnamed" "render_tests: Gpu.Draw names no requirement"
expect "commented package line" "render_tests: Gpu.Texture requires libgles2, which the package list installs"
printf '1/1 Testing: a\n[ RUN      ] A.B\n[       OK ] A.B (0 ms)\n' >"$work/none.log"
out=$(bash "$count" --ci "$work/none.log" "$work/packages.txt"); rc=$?
[ $rc -eq 0 ] || { echo "FAIL: --ci with nothing skipped exits $rc"; fail=1; }
expect "nothing" "0 tests skipped"

# A missing log is an error of its own, not a pass.
bash "$count" "$work/absent.log" "$work/packages.txt" >/dev/null 2>&1; rc=$?
[ $rc -eq 2 ] || { echo "FAIL: a missing log exits $rc"; fail=1; }

[ $fail -eq 0 ] && echo "the skip counter groups, names and judges skips"
exit $fail
