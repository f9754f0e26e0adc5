#!/usr/bin/env bash
# The layer check passes on the source tree and fails on planted upward and
# sideways includes. Usage: check_layers_test.sh <source-root>
set -uo pipefail
root=$1
check="$root/scripts/check_layers.sh"
fail=0
bash "$check" "$root" >/dev/null || { echo "FAIL: the source tree breaks its layers:"; bash "$check" "$root"; fail=1; }

plant() {  # plant <file> <include> <expect: pass|fail>
  local tree; tree=$(mktemp -d)
  mkdir -p "$tree/$(dirname "$1")"
  printf '#pragma once\n#include <vector>\n#include "%s"\n' "$2" >"$tree/$1"
  if bash "$check" "$tree" >/dev/null; then got=pass; else got=fail; fi
  [ "$got" = "$3" ] || { echo "FAIL: $1 including \"$2\" should $3 the check, it did $got"; fail=1; }
  rm -rf "$tree"
}
plant common/helper.h client/controller/app_components_controller.h fail
plant platform/port.cpp common/trace_client.h fail
plant contracts/record.h weblink/records/record_builders.h fail
plant sharing/engine.cpp capture/monitor_grabber.h fail
plant outside/vzwire/client.cpp client/proxy/proxy_provider.h fail
plant weblink/json/parser.cpp weblink/pipe/pipe_frame.h fail
plant client/app/frame.cpp contracts/ds_provider.h pass
plant bridge/host.cpp weblink/pipe/pipe_frame.h pass
plant sharing/engine.cpp sharing/caches.h pass
plant video/devices/ui/panel.cpp uikit/gdip_button.h pass
plant uikit/button.cpp video/devices/ui/panel.h fail
plant uikit/button.cpp client/app/frame.h fail
plant outside/vzwire/client.cpp outside/vzres/strings.h fail
plant outside/vzwire/relay/server.cpp outside/vzwire/session.h pass
plant client/app/deep/down/frame.cpp outside/vzres/strings.h pass
plant trace/writer.cpp bridge/host.h fail
plant scripts/tool.cpp client/app/frame.h pass
# The JSON helpers sit below the subsystems that read or write JSON, and only those.
plant client/controller/c.cpp weblink/json/json_value.h pass
plant capture/grab.cpp weblink/json/json_value.h fail
# The units of video/ are a stack: each includes only the units below it.
plant video/devices/color/convert.h video/engine/core/video_interfaces.h pass
plant video/engine/core/renderer.h video/devices/color/video_format_converter.h fail
plant video/engine/rtp/packer.cpp video/engine/send/send_channel.h fail
plant video/engine/send/encoder.cpp video/engine/receive/decoder.h fail
plant video/engine/client/exports.cpp video/devices/ui/panel.h fail
plant video/devices/render/draw.cpp video/devices/ui/panel.h fail
plant video/devices/render/draw.cpp video/engine/client/video_client_controller.h fail
plant video/devices/ui/panel.cpp video/devices/render/renderer.h pass
plant video/library/exports.cpp video/devices/ui/panel.h pass
plant video/devices/ui/panel.cpp video/library/lifetime/choice.h fail
plant video/devices/newfolder/thing.cpp video/engine/core/video_types.h fail

# Every upward include of a tree is reported, with its file and line, and an
# include written with spaces after the hash counts as well.
tree=$(mktemp -d)
mkdir -p "$tree/common" "$tree/platform/ui"
printf '#pragma once\n// #include "client/app/frame.h" in a comment\n#  include "sharing/engine.h"\n' >"$tree/common/a.h"
printf '#include "platform/ui/canvas.h"\n#include "capture/grabber.h"\n' >"$tree/platform/ui/b.cpp"
out=$(bash "$check" "$tree"); rc=$?
[ $rc -ne 0 ] || { echo "FAIL: two upward includes passed the check"; fail=1; }
grep -q '^common/a.h:3: common may not include "sharing/engine.h"' <<<"$out" ||
  { echo "FAIL: the indented include of common/a.h was not reported: $out"; fail=1; }
grep -q '^platform/ui/b.cpp:2: platform may not include "capture/grabber.h"' <<<"$out" ||
  { echo "FAIL: the include of platform/ui/b.cpp was not reported: $out"; fail=1; }
[ "$(grep -c 'may not include' <<<"$out")" -eq 2 ] || { echo "FAIL: expected two reports: $out"; fail=1; }
rm -rf "$tree"
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
