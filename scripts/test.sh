#!/usr/bin/env bash
# Sets up, builds and runs every test: the plain configuration, the address +
# undefined-behaviour sanitized one, the thread-sanitized one for the threaded
# code, the layer check, then the fuzz targets on one shared budget. After
# each configuration it prints how many tests were skipped and why; in CI
# (CI=true) a skip for want of a package that scripts/packages.txt installs
# fails the run. Warnings are errors in every configuration. Exits non-zero
# when anything fails.
set -euo pipefail
usage="usage: $0 [--help]
  Builds the default configuration (everything), the asan and tsan ones (what their tests run) under
  build/<configuration>, runs their tests, the layer check and the fuzz targets. Environment:
  VZ_JOBS (how much of the machine it takes: parallel build jobs, tests ctest runs at once and fuzz
  targets run at once; default: the number of cores; a shared machine passes VZ_JOBS=3), VZ_FUZZ_BUDGET (CPU seconds of fuzzing
  shared by all the fuzz targets, default 480), VZ_WERROR (ON). After each configuration the tests
  it skipped are counted by what they require (scripts/skipped_tests.sh); with CI=true a test skipped
  for want of a package that scripts/packages.txt installs, or without saying why, is a failure.
  First installs the Debian packages it needs where missing (scripts/setup.sh: as root, or through
  sudo, which may ask for the password). Exit 0 when everything passed; 2 for a wrong option; 3 when
  packages are missing and cannot be installed (no sudo, or sudo refused): their names and the one
  command an administrator runs are printed; another non-zero code when anything failed."
case "${1:-}" in
  '') ;;
  --help|-h) echo "$usage"; exit 0 ;;
  *) echo "$0: unknown option \"$1\"" >&2; echo "$usage" >&2; exit 2 ;;
esac
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
status=0
# Labels of the code that runs threads of its own (the log writer's crash tests
# fork, which the thread sanitizer does not follow, so trace runs elsewhere).
threaded='platform|common|weblink|bridge|client|outside|sharing|capture|video'
for config in default asan tsan; do
  echo "=== $config ==="
  # Each configuration builds what its tests run: the plain one everything
  # (the benchmarks and tools must compile too), the sanitized ones only the
  # test programs and the programs those tests start.
  targets=()
  case "$config" in
    asan) targets=(all_tests) ;;
    tsan) for label in ${threaded//|/ }; do targets+=("tests_$label"); done ;;
  esac
  started=$SECONDS
  "$top/scripts/build.sh" "$config" "${targets[@]}"
  built=$SECONDS
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$top/cmake/tsan.supp
  select=()
  # Death tests fork, which the thread sanitizer does not follow; the erasure
  # code's 2,000 random trials are single-threaded arithmetic that takes
  # minutes under it (they run in the other two configurations).
  [ "$config" = tsan ] && select=(-L "$threaded" -LE fuzz) &&
    export GTEST_FILTER="-*DeathTest*:ReedSolomon.AnyKOfNRecoverTheSourcesInTwoThousandRandomTrials"
  (cd "$top/build/$config" && ctest --output-on-failure -j "${VZ_JOBS:-$(nproc)}" "${select[@]}") || status=1
  echo "=== $config: built in $((built - started)) s, tested in $((SECONDS - built)) s ==="
  ci=(); [ "${CI:-}" = true ] && ci=(--ci)
  echo "=== $config: skipped ==="
  "$top/scripts/skipped_tests.sh" "${ci[@]}" "$top/build/$config/Testing/Temporary/LastTest.log" || status=1
done
echo "=== fuzz ==="
"$top/scripts/fuzz.sh" "${VZ_FUZZ_BUDGET:-480}" || status=1
if [ $status -eq 0 ]; then echo "all configurations passed"; else echo "FAILED"; fi
exit $status
