#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once on the embedded database and once
# more through ODBC (the tests named odbc.*: the same installations reached through the SQLite
# ODBC driver).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
tools/build.sh -DZIBROLT_TEST_ODBC=ON
cd build && ctest --output-on-failure -j "$(nproc)"
