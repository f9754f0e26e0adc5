#!/usr/bin/env bash
# Fails when a file includes a header of a unit that is not below its own:
# the layers are a stack (platform, common, contracts, then the shared
# libraries and the subsystems). Besides the three at the bottom, a subsystem
# reaches only what allowed_for below lists: the UI kit (uikit/) and the
# resource bundle under the subsystems that show windows, the JSON helpers
# (weblink/json/) under those that read or write JSON, and the pipe and the
# log writer under vzbridge. Inside weblink/ and video/ each folder is a unit,
# and the units of video/ are a stack too (video_below). Every outside/<name>/
# is one unit; scripts/, cmake/ and build folders are not checked.
# Usage: check_layers.sh [source-root]
# One grep over every source file and one awk pass over its matches: the
# check stays well under a second on a loaded machine.
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

find . -path ./build -prune -o -path './.git' -prune -o -path './build-*' -prune -o \
       -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cc' -o -name '*.hpp' \) -print0 |
  xargs -0 -r grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' /dev/null |
  awk '
    # The unit a path belongs to: the folder that is one layer.
    function unit_of(p,   rest) {
      sub(/^\.\//, "", p)
      if (p ~ /^weblink\/json\//) return "weblink/json"
      if (p ~ /^weblink\/pipe\//) return "weblink/pipe"
      if (p ~ /^weblink\/records\//) return "weblink/records"
      if (p ~ /^weblink\//) return "weblink/link"
      if (p ~ /^video\/library\//) return "video/library"
      if (p ~ /^video\/[^\/]+\/[^\/]+\//) { split(p, part, "/"); return "video/" part[2] "/" part[3] }
      if (p ~ /^outside\/[^\/]+\//) { rest = substr(p, 9); sub(/\/.*/, "", rest); return "outside/" rest }
      if (p ~ /\//) { sub(/\/.*/, "", p); return p }
      return ""
    }
    # The units of video/ below each one. The video stack, lowest first: core;
    # colour, MJPEG, RTP and the session (schema and transport session); send
    # and receive; then the engine (over both) and capture (over send); the
    # conference client (over the engine and capture) and rendering (over
    # capture, for its test camera); the panel; the exports and lifetime of
    # the library.
    function video_below(u,   core, media) {
      core = "video/engine/core"
      media = core " video/devices/color video/devices/mjpeg"
      if (u == core) return ""
      if (u == "video/devices/color" || u == "video/devices/mjpeg" || u == "video/engine/rtp" ||
          u == "video/engine/session") return core
      if (u == "video/engine/send" || u == "video/engine/receive") return media " video/engine/rtp"
      if (u == "video/engine/engine")
        return media " video/engine/rtp video/engine/send video/engine/receive"
      if (u == "video/devices/capture") return media " video/engine/send"
      if (u == "video/engine/client")
        return media " video/engine/rtp video/engine/send video/engine/receive video/engine/engine" \
               " video/engine/session video/devices/capture"
      if (u == "video/devices/render") return media " video/devices/capture"
      if (u == "video/devices/ui")
        return media " video/engine/client video/devices/capture video/devices/render"
      if (u == "video/library")
        return media " video/engine/rtp video/engine/send video/engine/receive video/engine/engine" \
               " video/engine/session video/devices/capture video/engine/client video/devices/render" \
               " video/devices/ui"
      return ""  # a new folder of video/ is placed in this stack before it may include any other
    }
    # What each unit may include besides itself.
    function allowed_for(u,   base) {
      base = "contracts common platform"
      if (u == "platform") return ""
      if (u == "common") return "platform"
      if (u == "contracts") return "common platform"
      if (u == "weblink/json") return "common platform"
      if (u == "weblink/pipe" || u == "weblink/records" || u == "trace") return "weblink/json " base
      if (u == "weblink/link") return "weblink/json weblink/pipe weblink/records " base
      if (u == "bridge") return "weblink/json weblink/pipe trace " base
      if (u == "uikit") return "outside/vzres " base
      if (u == "client") return "weblink/json outside/vzres uikit " base
      if (u == "capture") return "outside/vzres uikit " base
      if (u ~ /^video\//) return video_below(u) " outside/vzres uikit " base
      if (u == "scripts" || u == "cmake" || u ~ /^build/) return "*"
      return base
    }
    {
      # file:line:text, the file name being free of colons.
      first = index($0, ":"); file = substr($0, 1, first - 1)
      rest = substr($0, first + 1); second = index(rest, ":"); line = substr(rest, 1, second - 1)
      text = substr(rest, second + 1)
      match(text, /"[^"]+"/); target = substr(text, RSTART + 1, RLENGTH - 2)
      sub(/^\.\//, "", file)
      from = unit_of(file); if (from == "") next
      allowed = " " allowed_for(from) " "
      if (allowed == " * ") next
      to = unit_of(target)
      if (to == "" || to == from || index(allowed, " " to " ") > 0) next
      printf "%s:%s: %s may not include \"%s\" (%s is not below it)\n", file, line, from, target, to
      bad = 1
    }
    END { if (!bad) print "layers: every include points down"; exit bad }
  '
