#!/usr/bin/env bash
# The system's main job: a local meeting without a browser.
#   scripts/run.sh [--keep]
# Builds only the meeting's programs, installs them into a temporary prefix as
# the install step places them, then plays the browser extension against the
# installed vzbridge, which starts the installed VelzarHub: the start request,
# the meeting config, a ping, an audio join (through the audio stand-in), mute,
# leave and stop. Every message is printed both ways with a note on what it
# shows; the run ends by checking that both programs ended in order and that
# their log files hold lines in the log writer's format. The temporary folder
# (install, sandbox, logs) is removed at the end unless --keep is given.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
keep=0
for arg in "$@"; do
  case "$arg" in
    --keep) keep=1 ;;
    *) echo "usage: $0 [--keep]" >&2; exit 2 ;;
  esac
done
"$top/scripts/setup.sh"
echo "building the meeting's programs (vzbridge, VelzarHub and the libraries it loads, the demonstration)"
"$top/scripts/build.sh" default meeting >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/velzar-meeting.XXXXXX")
cleanup() {
  if [ $keep -eq 1 ]; then
    echo "kept: $work (installed programs in prefix/bin, the programs' logs in sandbox/run/velzar)"
  else
    rm -rf "$work"
    echo "removed the temporary folder (run with --keep to keep the installed programs and their logs)"
  fi
}
trap cleanup EXIT
# The install step's browser host manifests land in the work folder too.
for component in vzbridge VelzarHub; do
  XDG_CONFIG_HOME="$work/install-config" cmake --install "$top/build/default" --prefix "$work/prefix" \
    --component "$component" >/dev/null
done
echo "installed into $work/prefix/bin: $(ls "$work/prefix/bin" | tr '\n' ' ')"
"$top/build/default/bin/vzmeet_demo" --bin "$work/prefix/bin" --work "$work/sandbox" --check
