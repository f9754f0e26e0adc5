#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh [default|asan|tsan] [target...]
# (every target when none is named)
# Warnings are errors in every configuration built here (VZ_WERROR=OFF to relax).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
config=${1:-default}
[ $# -gt 0 ] && shift
targets=()
for target in "$@"; do targets+=(--target "$target"); done
case "$config" in
  default) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  # The sanitized configurations keep line tables only (-g1): their reports
  # name functions, files and lines, and the build is about a quarter faster.
  asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DVZ_SANITIZE=ON -DVZ_BENCHMARKS=OFF
               "-DCMAKE_C_FLAGS_DEBUG=-g1" "-DCMAKE_CXX_FLAGS_DEBUG=-g1") ;;
  tsan) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVZ_TSAN=ON -DVZ_BENCHMARKS=OFF
               "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG") ;;
  *) echo "unknown configuration $config" >&2; exit 2 ;;
esac
flags+=(-DVZ_WERROR="${VZ_WERROR:-ON}")
# ccache where it is installed: rebuilds of unchanged sources cost nothing.
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
  flags+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$top/build/$config" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$top/build/$config" -j "${VZ_JOBS:-$(nproc)}" "${targets[@]}"
