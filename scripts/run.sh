#!/usr/bin/env bash
# The system's main job: a local meeting without a browser.
#   scripts/run.sh [--keep] [--display :N] [--size WxH] [--duration S] [--language TAG]
#                  [--video [--loss PERCENT]]
# Builds only the meeting's programs, installs them into a temporary prefix as
# the install step places them, then runs two meetings against the installed
# programs, each participant's browser extension played against its own
# vzbridge, which starts its own VelzarHub:
#  1. audio: the start request, the meeting config, a ping, an audio join
#     (through the audio stand-in), mute, leave and stop, with a note on what
#     each message shows; it ends by checking that both programs ended in
#     order and that their log files hold lines in the log writer's format.
#  2. screen sharing: vzrelay on loopback, a presenter who shares monitor 1 and
#     an attendee who joins, on the user's display ($DISPLAY, or --display)
#     or else on a private Xvfb of --size (1920x1080) showing a desktop picture
#     of the demonstration's own; one line per stage, then the first-frame
#     time, frames per second, latency, the presenter's CPU time and the PSNR
#     between the attendee's rebuilt frame and the presenter's screen, both
#     written as PNG files into the temporary folder.
#  2. with --video, instead: a video meeting: vzrelay on loopback and two
#     participants whose VelzarHubs run the synthetic test camera; each joins
#     the video conference and turns the camera on as the web page asks, and
#     each receives the other's pictures (the frame counter rising, the PSNR
#     against the test pattern above 30 dB); then each leaves and the web page
#     hears the left report. One line per stage and a summary with pictures
#     per second each way; --loss makes vzrelay drop that share of the media.
#     Each VelzarHub's video panel shows on that display, placed side by side,
#     and is grabbed as PNG into the work folder (video/alice-pictures/panel.png,
#     video/bob-pictures/panel.png); the other's frame counter is read back from
#     the grab. A received frame and both panels are kept as
#     build/default/video-meeting-frame.png and video-meeting-panel-{alice,bob}.png.
# On a display run by a window manager the demonstrations find their windows
# and VelzarHub's where the manager put them (inside its frames).
# --language is the web page's language in the start requests (for example
# de-de; en-us unless given): VelzarHub's windows and panels speak it.
# Every message is printed both ways. The temporary folder (install,
# sandboxes, logs, pictures) is removed at the end of a run that passed
# unless --keep is given; a failed run keeps it and says so.
# First the Debian packages it needs are installed where missing
# (scripts/setup.sh: as root, or through sudo, which may ask for the
# password). Exit 0 when the meetings passed; 2 for a wrong option; 3 when
# packages are missing and cannot be installed (no sudo, or sudo refused):
# their names and the one command an administrator runs are printed; another
# non-zero code when a build or a meeting failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
keep=0
video=0
share_args=()
video_args=()
usage="usage: $0 [--keep] [--display :N] [--size WxH] [--duration S] [--language TAG] [--video [--loss PERCENT]]"
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1 ;;
    --video) video=1 ;;
    --display|--duration|--language)
      [ $# -ge 2 ] || { echo "$0: $1 needs a value" >&2; echo "$usage" >&2; exit 2; }
      share_args+=("$1" "$2"); video_args+=("$1" "$2"); shift ;;
    --size)
      [ $# -ge 2 ] || { echo "$0: $1 needs a value" >&2; echo "$usage" >&2; exit 2; }
      share_args+=("$1" "$2"); shift ;;
    --loss)
      [ $# -ge 2 ] || { echo "$0: $1 needs a value" >&2; echo "$usage" >&2; exit 2; }
      video_args+=("$1" "$2"); shift ;;
    --help|-h) echo "$usage"; sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "$0: unknown option \"$1\"" >&2; echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
"$top/scripts/setup.sh"

# Everything this run makes goes into one folder: the build's log, the
# installed programs, the sandboxes, the pictures, and the logs of the
# demonstrations, vzrelay and the web attendee (their runtime folder).
work=$(mktemp -d "${TMPDIR:-/tmp}/velzar-meeting.XXXXXX")
# A failed run keeps the folder whatever --keep says: its messages name the
# logs in it to read.
cleanup() {
  local status=$?
  if [ $keep -eq 1 ] || [ $status -ne 0 ]; then
    [ $status -ne 0 ] && echo "the run failed (exit code $status); its folder is kept for the logs it names"
    echo "kept: $work (installed programs in prefix/bin, the audio meeting's logs in sandbox/run/velzar, the"
    echo "      sharing meeting's in sharing/presenter and sharing/attendee, its pictures in sharing/*.png,"
    echo "      the video meeting's in video/alice and video/bob, its pictures in video/*-pictures,"
    echo "      the demonstrations' own logs in own/velzar, the build's output in build.log)"
  else
    rm -rf "$work"
    echo "removed $work with every file named above (run with --keep to keep the installed programs," \
         "their logs and the pictures)"
  fi
}
trap cleanup EXIT
mkdir -m 700 "$work/own"
export XDG_RUNTIME_DIR="$work/own"

# The build's own step counter as it goes (one line, rewritten on a terminal);
# its whole output is in build.log, and shown when the build fails.
echo "building the meeting's programs (vzbridge, VelzarHub and the libraries it loads, vzrelay, the"
echo "demonstrations) into build/default; the first build on a fresh machine takes about 15 minutes"
show_progress() {
  if [ -t 1 ]; then
    awk '/^\[[0-9]+\/[0-9]+\]/ { printf "\r  build step %s   ", $1; fflush() } END { printf "\n" }'
  else
    awk '/^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), n, "/"); p = int(100 * n[1] / n[2]);
           if (p >= next_p) { printf "  build step %s (%d %%)\n", $1, p; fflush(); next_p = p + 10 } }'
  fi
}
# Besides the meeting, the tools the README names: a display under a window
# manager, the video renderer alone, and the pictures of every window.
if ! "$top/scripts/build.sh" default meeting vz_managed_display vz_render_demo vzpictures 2>&1 | tee "$work/build.log" |
    show_progress; then
  echo "the build failed; the end of its output (all of it in $work/build.log):" >&2
  tail -50 "$work/build.log" >&2
  exit 1
fi
if grep -q "no allowed origins" "$work/build.log"; then
  echo "note: the build names no browser extension allowed to start vzbridge (VZ_BRIDGE_ALLOWED_ORIGINS, see"
  echo "      the README's \"Installing\"); that matters only for a browser: here the demonstrations play the"
  echo "      extension themselves."
fi

echo "installing into $work/prefix"
# The install step's browser host manifests land in the work folder too.
for component in vzbridge VelzarHub; do
  XDG_CONFIG_HOME="$work/install-config" cmake --install "$top/build/default" --prefix "$work/prefix" \
    --component "$component" >>"$work/install.log" 2>&1 ||
    { echo "the install step failed:" >&2; cat "$work/install.log" >&2; exit 1; }
done
echo "installed into $work/prefix/bin: $(ls "$work/prefix/bin" | tr '\n' ' ')"
echo "=== the audio meeting ==="
"$top/build/default/bin/vzmeet_demo" --bin "$work/prefix/bin" --work "$work/sandbox" --check
echo
if [ $video -eq 1 ]; then
  echo "=== the video meeting ==="
  "$top/build/default/bin/vzvideo_demo" --bin "$work/prefix/bin" --work "$work/video" "${video_args[@]}"
  # Bob's pictures as Alice received them, kept past the temporary folder.
  cp "$work/video/alice-pictures/R2.png" "$top/build/default/video-meeting-frame.png"
  echo "a frame of bob's as alice received it: $top/build/default/video-meeting-frame.png"
  for member in alice bob; do
    cp "$work/video/$member-pictures/panel.png" "$top/build/default/video-meeting-panel-$member.png"
  done
  echo "the video panels as grabbed from the display: $top/build/default/video-meeting-panel-alice.png," \
       "$top/build/default/video-meeting-panel-bob.png"
else
  echo "=== the meeting with screen sharing ==="
  "$top/build/default/bin/vzshare_demo" --bin "$work/prefix/bin" --work "$work/sharing" "${share_args[@]}"
fi
