#!/usr/bin/env bash
# Every program and script answers --help with its usage on standard output
# and exit 0, and an unknown option with a line naming it and a non-zero exit,
# without doing anything else (no folder made, no suite started).
# Usage: command_line_help_test.sh <program-or-script>...
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/vzhelp.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/cwd" "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
       XDG_CACHE_HOME="$work/cache"
fail=0
for program in "$@"; do
  name=$(basename "$program")
  run() { (cd "$work/cwd" && timeout 60 "$program" "$@" </dev/null >"$work/out" 2>"$work/err"); }
  run --help; rc=$?
  if [ $rc -ne 0 ] || ! grep -qi '^usage:' "$work/out"; then
    echo "FAIL: $name --help exited $rc; its output: $(head -c 400 "$work/out" "$work/err")"; fail=1
  fi
  run --no-such-option; rc=$?
  if [ $rc -eq 0 ] || [ $rc -eq 124 ] || ! grep -q 'unknown option.*--no-such-option' "$work/err"; then
    echo "FAIL: $name --no-such-option exited $rc; its error output: $(head -c 400 "$work/err")"; fail=1
  fi
  if [ -n "$(ls -A "$work/cwd")" ]; then
    echo "FAIL: $name made $(ls -A "$work/cwd" | tr '\n' ' ')in the folder it ran in"; fail=1
    rm -rf "${work:?}/cwd" && mkdir "$work/cwd"
  fi
done
[ $fail -eq 0 ] && echo "$# programs answer --help and refuse an unknown option"
exit $fail
