#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own or of a sibling
# subsystem: the layers are a stack (platform, common, contracts, then the
# shared libraries and the subsystems), and a subsystem reaches another one only
# through the contracts. The UI kit (uikit/) sits below the subsystems that
# show windows. Usage: check_layers.sh [source-root]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

# The unit a path belongs to: the folder that is one layer.
unit_of() {
  case "$1" in
    weblink/json/*) echo weblink/json ;;
    weblink/pipe/*) echo weblink/pipe ;;
    weblink/records/*) echo weblink/records ;;
    weblink/*) echo weblink/link ;;
    outside/*/*) local rest=${1#outside/}; echo "outside/${rest%%/*}" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

# What each unit may include besides itself.
allowed_for() {
  local base="contracts common platform"
  case "$1" in
    platform) echo "" ;;
    common) echo "platform" ;;
    contracts) echo "common platform" ;;
    weblink/json) echo "common platform" ;;
    weblink/pipe|weblink/records|trace) echo "weblink/json $base" ;;
    weblink/link) echo "weblink/json weblink/pipe weblink/records $base" ;;
    bridge) echo "weblink/json weblink/pipe trace $base" ;;
    uikit) echo "outside/vzres $base" ;;
    client) echo "weblink/json outside/vzres uikit $base" ;;
    capture|video) echo "outside/vzres uikit $base" ;;
    sharing|outside/*) echo "$base" ;;
    scripts|cmake|build*) echo "*" ;;
    *) echo "$base" ;;
  esac
}

status=0
while IFS= read -r file; do
  from=$(unit_of "$file")
  [ -n "$from" ] || continue
  allowed=" $(allowed_for "$from") "
  [ "$allowed" = " * " ] && continue
  while IFS=: read -r line target; do
    to=$(unit_of "$target")
    [ -z "$to" ] || [ "$to" = "$from" ] && continue
    case "$allowed" in *" $to "*) continue ;; esac
    echo "$file:$line: $from may not include \"$target\" ($to is not below it)"
    status=1
  done < <(grep -noE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' "$file" |
           sed -E 's/^([0-9]+):.*"([^"]+)"$/\1:\2/')
done < <(find . -path ./build -prune -o -path './.git' -prune -o -path './build-*' -prune -o \
              -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cc' -o -name '*.hpp' \) -print | sed 's#^\./##')
[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
