#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/NAME_fuzz.cpp) with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer), replays each one's saved corpus in
# tests/fuzz/corpus/NAME/ input by input, then fuzzes each for SECONDS (0: the replay only).
# Findings are written to build-fuzz/findings/ and end the script with a failure; an input that
# found something is added to the saved corpus with the fix, so that every later run replays it.
#
#   tools/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
command -v clang++ >/dev/null || { echo "fuzzing needs clang (apt-get install clang)" >&2; exit 1; }
targets=()
for source in tests/fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZIBROLT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  saved="tests/fuzz/corpus/$name"
  work="build-fuzz/corpus-$name"
  mkdir -p "$work"
  if [ -d "$saved" ]; then
    echo "== $name: replaying $(ls "$saved" | wc -l) saved inputs"
    # Given files rather than folders, libFuzzer runs each input once and stops at the first
    # that fails.
    find "$saved" -type f -print0 |
      xargs -0 -r -n 500 "build-fuzz/tests/fuzz/$target" -artifact_prefix=build-fuzz/findings/ \
        >"build-fuzz/replay-$name.log" 2>&1 || {
      tail -n 30 "build-fuzz/replay-$name.log"
      echo "FAILED: a saved input of $name" >&2
      exit 1
    }
  else
    echo "== $name: no saved corpus in $saved"
  fi
  [ "$seconds" -gt 0 ] || continue
  echo "== fuzzing $name for ${seconds}s"
  "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -max_len=20000 \
    -artifact_prefix=build-fuzz/findings/ "$work" $([ -d "$saved" ] && echo "$saved") 2>&1 | tail -3
done
