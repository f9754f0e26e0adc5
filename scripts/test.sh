#!/usr/bin/env bash
# Sets up, builds and runs every test in both configurations (plain and sanitized).
# Exits non-zero when any build or test fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
status=0
for config in default asan; do
  echo "=== $config ==="
  "$top/scripts/build.sh" "$config"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd "$top/build/$config" && ctest --output-on-failure -j "$(nproc)") || status=1
done
echo "=== fuzz ==="
"$top/scripts/fuzz.sh" "${VZ_FUZZ_SECONDS:-20}" || status=1
if [ $status -eq 0 ]; then echo "all configurations passed"; else echo "FAILED"; fi
exit $status
