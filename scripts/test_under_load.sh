#!/usr/bin/env bash
# Runs a configuration's tests (already built) while busy loops keep every
# core loaded, as a loaded machine would: tests must wait for events, never
# for fixed times. Prints each run's result and the load it ran at.
set -euo pipefail
usage="usage: $0 [--config default|asan|tsan] [--runs N] [--loops N] [-- ctest arguments...]
  Runs ctest -j\$(nproc) in build/<config> N times (default 4) beside N busy loops (default 10).
  The configuration must be built (scripts/build.sh). Exits non-zero when any run failed."
config=default runs=4 loops=10
while [ $# -gt 0 ]; do
  case "$1" in
    --config) config=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --loops) loops=$2; shift 2 ;;
    --help|-h) echo "$usage"; exit 0 ;;
    --) shift; break ;;
    *) echo "$0: unknown option \"$1\"" >&2; echo "$usage" >&2; exit 2 ;;
  esac
done
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/$config"
[ -d "$build" ] || { echo "$0: $build is not built (scripts/build.sh $config)" >&2; exit 2; }
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$top/cmake/tsan.supp
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
stop_loops() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop_loops EXIT INT TERM
for _ in $(seq "$loops"); do
  (while :; do :; done) &
  pids+=($!)
done
status=0
for run in $(seq "$runs"); do
  started=$SECONDS
  if (cd "$build" && ctest -j "$(nproc)" "$@" > "$build/load_run_$run.log" 2>&1); then result=passed; else result=FAILED; status=1; fi
  echo "run $run: $result in $((SECONDS - started)) s at load $(cut -d' ' -f1 /proc/loadavg)" \
       "($(grep -E 'tests passed' "$build/load_run_$run.log" || true))"
  [ "$result" = passed ] || grep -E '\*\*\*|Failed|Timeout' "$build/load_run_$run.log" | grep -v '^[0-9]*% tests' || true
done
exit $status
