#!/usr/bin/env bash
# Builds every fuzz target (tests/fuzz/NAME_fuzz.cpp) with clang (AddressSanitizer,
# UndefinedBehaviorSanitizer, libFuzzer), replays each one's saved corpus in
# tests/fuzz/corpus/NAME/ input by input, then fuzzes each for SECONDS (0: the replay only).
# Findings are written to the build's findings/ folder and end the script with a failure; an
# input that found something is added to the saved corpus with the fix, so that every later run
# replays it.
#
# --build-dir DIR uses a clang build configured with ZIBROLT_FUZZ=ON (tools/test.sh's
# sanitizer build) instead of a build of its own in build-fuzz/.
#
#   tools/fuzz.sh [--build-dir DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=""
if [ "${1:-}" = --build-dir ]; then
  build="$2"
  shift 2
fi
seconds="${1:-60}"
command -v clang++ >/dev/null || { echo "fuzzing needs clang (apt-get install clang)" >&2; exit 1; }
targets=()
for source in tests/fuzz/*_fuzz.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
if [ -z "$build" ]; then
  build=build-fuzz
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DZIBROLT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
mkdir -p "$build/findings"
for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  saved="tests/fuzz/corpus/$name"
  work="$build/corpus-$name"
  mkdir -p "$work"
  if [ -d "$saved" ]; then
    echo "== $name: replaying $(ls "$saved" | wc -l) saved inputs"
    # Given files rather than folders, libFuzzer runs each input once and stops at the first
    # that fails.
    find "$saved" -type f -print0 |
      xargs -0 -r -n 500 "$build/tests/fuzz/$target" -artifact_prefix="$build"/findings/ \
        >"$build/replay-$name.log" 2>&1 || {
      tail -n 30 "$build/replay-$name.log"
      echo "FAILED: a saved input of $name" >&2
      exit 1
    }
  else
    echo "== $name: no saved corpus in $saved"
  fi
done
[ "$seconds" -gt 0 ] || exit 0
# The targets fuzz side by side, each for SECONDS: a short run takes the time of one target.
pids=()
for target in "${targets[@]}"; do
  name="${target%_fuzz}"
  saved="tests/fuzz/corpus/$name"
  echo "== fuzzing $name for ${seconds}s"
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=20000 \
    -artifact_prefix="$build"/findings/ "$build/corpus-$name" $([ -d "$saved" ] && echo "$saved") \
    >"$build/fuzz-$name.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  name="${targets[$i]%_fuzz}"
  if wait "${pids[$i]}"; then
    echo "== $name: $(tail -n 1 "$build/fuzz-$name.log")"
  else
    tail -n 30 "$build/fuzz-$name.log"
    echo "FAILED: fuzzing $name found an input (in $build/findings/)" >&2
    failed=1
  fi
done
exit "$failed"
