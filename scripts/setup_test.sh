#!/usr/bin/env bash
# The set-up script on a machine of the test's own making: a PATH of
# stand-ins for dpkg-query (which packages are there), id (root or another
# user), sudo (there, refusing, or not there at all) and apt-get (which only
# writes down what it was asked), so nothing is ever installed.
# Usage: setup_test.sh <source-root>
set -uo pipefail
root=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vzsetup.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/tools"
cp "$root/scripts/setup.sh" "$work/scripts/"
printf '# what the build needs\n\nlibalpha-dev\n  # an indented comment\nbeta-tools\ngamma\n' >"$work/scripts/packages.txt"
for tool in env grep dirname cat; do ln -s "$(command -v "$tool")" "$work/tools/$tool"; done
cat >"$work/tools/dpkg-query" <<'TOOL'
#!/bin/bash
# dpkg-query -W -f=<format> <package>: installed when listed in $FAKE_INSTALLED.
for pkg in $FAKE_INSTALLED; do
  [ "$pkg" = "${!#}" ] && { echo -n "install ok installed"; exit 0; }
done
echo "dpkg-query: no packages found matching ${!#}" >&2
exit 1
TOOL
cat >"$work/tools/id" <<'TOOL'
#!/bin/bash
echo "$FAKE_UID"
TOOL
cat >"$work/tools/apt-get" <<'TOOL'
#!/bin/bash
echo "${DEBIAN_FRONTEND:-} $*" >>"$FAKE_LOGS/apt-get"
exit "${FAKE_APT_EXIT:-0}"
TOOL
cat >"$work/sudo" <<'TOOL'
#!/bin/bash
echo "$*" >>"$FAKE_LOGS/sudo"
[ -n "${FAKE_SUDO_REFUSES:-}" ] && { echo "sudo: a password is required" >&2; exit 1; }
exec "$@"
TOOL
chmod +x "$work/tools/"* "$work/sudo"
fail=0
failed() { echo "FAIL: $1"; echo "  out: $(cat "$work/out")"; echo "  err: $(cat "$work/err")"; fail=1; }

# run <uid> <sudo: none|yes|refuses> <installed packages> [apt-get's exit code]
run() {
  rm -rf "$work/logs" && mkdir "$work/logs"
  rm -f "$work/tools/sudo"
  [ "$2" != none ] && ln -s "$work/sudo" "$work/tools/sudo"
  local refuses=""
  [ "$2" = refuses ] && refuses=1
  PATH="$work/tools" FAKE_UID=$1 FAKE_INSTALLED=$3 FAKE_APT_EXIT=${4:-0} FAKE_SUDO_REFUSES=$refuses \
    FAKE_LOGS="$work/logs" "$BASH" "$work/scripts/setup.sh" >"$work/out" 2>"$work/err"
  rc=$?
}
logged() { [ -f "$work/logs/$1" ] && grep -qxF -- "$2" "$work/logs/$1"; }
admin_line='  apt-get install --no-install-recommends beta-tools gamma'

run 1000 none "libalpha-dev beta-tools gamma"
[ $rc -eq 0 ] && [ ! -s "$work/out" ] && [ ! -s "$work/err" ] && [ ! -e "$work/logs/apt-get" ] ||
  failed "with every package there it should do nothing and exit 0 (exit $rc)"

run 0 none "libalpha-dev"
[ $rc -eq 0 ] || failed "root should install and exit 0 (exit $rc)"
logged apt-get "noninteractive update -qq" &&
  logged apt-get "noninteractive install -y -qq --no-install-recommends beta-tools gamma" ||
  failed "root should update and install just the missing packages: $(cat "$work/logs/apt-get" 2>/dev/null)"
grep -q 'installing beta-tools gamma' "$work/out" || failed "root should say what it installs"

run 1000 none "libalpha-dev"
[ $rc -eq 3 ] || failed "without root and sudo it should exit 3, not $rc"
grep -q 'missing: beta-tools gamma' "$work/err" || failed "without root and sudo it should name the missing packages"
grep -qxF -- "$admin_line" "$work/err" || failed "without root and sudo it should give the administrator's command"
grep -q 'command not found' "$work/err" && failed "without root and sudo no command should be missing"
[ ! -e "$work/logs/apt-get" ] || failed "without root and sudo apt-get should not run"

run 1000 yes "libalpha-dev"
[ $rc -eq 0 ] || failed "with sudo it should install and exit 0 (exit $rc)"
grep -q 'through sudo, which may ask for your password' "$work/out" || failed "with sudo it should say that sudo asks"
logged sudo "env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends beta-tools gamma" &&
  logged apt-get "noninteractive install -y -qq --no-install-recommends beta-tools gamma" ||
  failed "with sudo the install should go through sudo: $(cat "$work/logs/sudo" 2>/dev/null)"

run 1000 refuses "libalpha-dev"
[ $rc -eq 3 ] || failed "when sudo refuses it should exit 3, not $rc"
grep -qxF -- "$admin_line" "$work/err" || failed "when sudo refuses it should give the administrator's command"
[ ! -e "$work/logs/apt-get" ] || failed "when sudo refuses apt-get should not run"

run 0 none "libalpha-dev" 100
[ $rc -eq 3 ] || failed "when apt-get fails it should exit 3, not $rc"
grep -q 'apt-get could not install them' "$work/err" || failed "when apt-get fails it should say so"

[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
