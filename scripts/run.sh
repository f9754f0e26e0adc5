#!/usr/bin/env bash
# The system's main job. Until the meeting client lands it builds everything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" default
echo "built: $(ls "$top/build/default/bin" | tr '\n' ' ')"
