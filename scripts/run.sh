#!/usr/bin/env bash
# The system's main job: a local meeting without a browser. Builds, installs
# into a temporary prefix as the install step places the programs, then plays
# the browser extension against the installed vzbridge, which starts the
# installed VelzarHub: the start request, the meeting config, a ping, an audio
# join (through the audio stand-in), mute, leave and stop. Every message is
# printed both ways; the run ends by checking that both programs ended in
# order and that their log files hold lines in the log writer's format.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" default

work=$(mktemp -d "${TMPDIR:-/tmp}/velzar-meeting.XXXXXX")
# The install step's browser host manifests land in the work folder too.
XDG_CONFIG_HOME="$work/install-config" cmake --install "$top/build/default" --prefix "$work/prefix" >/dev/null
echo "installed into $work/prefix/bin: $(ls "$work/prefix/bin" | tr '\n' ' ')"
"$top/build/default/bin/vzmeet_demo" --bin "$work/prefix/bin" --work "$work/sandbox" --check
echo "the programs' logs are in $work/sandbox/run/velzar"
