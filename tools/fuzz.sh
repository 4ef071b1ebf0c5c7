#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer)
# and runs each for a bounded time over its corpus in tests/fuzz/corpus/. Findings are written
# to build-fuzz/findings/ and end the script with a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
command -v clang++ >/dev/null || { echo "fuzzing needs clang (apt-get install clang)" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZIBROLT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target settings_fuzz cipher_fuzz
mkdir -p build-fuzz/findings
for target in settings cipher; do
  work="build-fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== fuzzing $target for ${seconds}s"
  build-fuzz/tests/fuzz/${target}_fuzz -max_total_time="$seconds" -max_len=20000 \
    -artifact_prefix=build-fuzz/findings/ "$work" "tests/fuzz/corpus/$target" 2>&1 | tail -3
done
