#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and black-box tests once on the
# embedded database and once more through ODBC (the tests named odbc.*: the same installations
# reached through the SQLite ODBC driver), the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a bounded time, and last the Windows build
# under Wine (tools/test-windows.sh).
# `tools/test.sh --quick` runs the first pass only.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
jobs="$(nproc)"
werror=ON  # compiler warnings as errors

echo "== Build and test (embedded database and ODBC)"
tools/build.sh -DZIBROLT_TEST_ODBC=ON -DZIBROLT_WERROR="$werror"
(cd build && ctest --output-on-failure -j "$jobs")
[ "${1:-}" = "--quick" ] && exit 0

echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DZIBROLT_SANITIZE=ON \
  -DZIBROLT_TEST_ODBC=ON -DZIBROLT_WERROR="$werror" >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")

echo "== Fuzzing the settings reader and the value decoding"
tools/install-deps.sh --fuzz
tools/fuzz.sh "${ZIBROLT_FUZZ_SECONDS:-60}"

echo "== The Windows build: its tests under Wine, and the demo files against the Linux build's"
tools/test-windows.sh
