#!/usr/bin/env bash
# Runs vzbridge's relay benchmark with every process on a core of its own:
#   scripts/relay_bench_pinned.sh [--build DIR] [bench-core relay-core client-core] [benchmark arguments...]
# (default cores 2 3 4; DIR is a build folder, build/default of this checkout
# unless given, so that another checkout's build can be run the same way). The benchmark runs on the first core; once both
# relays (vzbridge and the byte forwarder, every thread of each) and their
# fake clients are up, the relays go to the second core and the clients to
# the third. Rounds alternate between the two relays, so the one relay core
# serves whichever relay is working. Prints the benchmark's output.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build/default"
if [ "${1:-}" = --build ]; then
  [ $# -ge 2 ] || { echo "--build needs a build folder" >&2; exit 2; }
  build=$2
  shift 2
fi
bench="$build/bin/vzbridge_relay_bench"
[ -x "$bench" ] || { echo "no $bench: build it first (scripts/build.sh default vzbridge_relay_bench)" >&2; exit 2; }
cores=(2 3 4)
if [ $# -ge 3 ] && [[ "$1$2$3" =~ ^[0-9]+$ ]]; then cores=("$1" "$2" "$3"); shift 3; fi
[ $# -gt 0 ] || set -- --benchmark_filter=Alternated
out=$(mktemp)
taskset -c "${cores[0]}" "$bench" "$@" >"$out" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -f "$out"' EXIT
relays=() clients=()
for _ in $(seq 200); do
  relays=($(pgrep -P "$pid" || true))
  clients=()
  for relay in "${relays[@]}"; do clients+=($(pgrep -P "$relay" || true)); done
  [ "${#relays[@]}" -ge 2 ] && [ "${#clients[@]}" -ge 2 ] && break
  sleep 0.05
done
if [ "${#relays[@]}" -ge 2 ] && [ "${#clients[@]}" -ge 2 ]; then
  for relay in "${relays[@]}"; do taskset -a -p -c "${cores[1]}" "$relay" >/dev/null; done
  for client in "${clients[@]}"; do taskset -a -p -c "${cores[2]}" "$client" >/dev/null; done
else
  echo "relay_bench_pinned: the relays did not all start; running unpinned" >&2
fi
status=0
wait "$pid" || status=$?
cat "$out"
exit "$status"
