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
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
cmake --build build -j "$(nproc)" "${targets[@]}"
