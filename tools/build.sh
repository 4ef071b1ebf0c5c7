#!/usr/bin/env bash
# Configures and builds into build/ (Release with debug info): everything, or only the targets
# named with --target (the demo needs three programs, not the tests).
#
#   tools/build.sh [--target NAME]... [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --target) targets+=(--target "$2"); shift 2 ;;
    *) options+=("$1"); shift ;;
  esac
done
# Debug information of line tables only (-g1): backtraces and sanitizer reports still name file
# and line, and the build takes two thirds of the time full debug information takes.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "${options[@]}" >/dev/null
cmake --build build -j "$(nproc)" "${targets[@]}"
