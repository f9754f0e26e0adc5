#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh [default|asan]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
config=${1:-default}
case "$config" in
  default) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DVZ_SANITIZE=ON -DVZ_BENCHMARKS=OFF) ;;
  *) echo "unknown configuration $config" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$top/build/$config" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/build/$config" -j "$(nproc)"
