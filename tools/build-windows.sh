#!/usr/bin/env bash
# Cross-builds the Windows programs (zibrolt.exe and its companions zibrolt-settings.exe,
# zibrolt-show.exe, zibrolt-site.exe, zibrolt-check.exe) into
# build-windows/bin/ with Debian's MinGW-w64 compiler, statically linked.
#
#   tools/build-windows.sh [--tests] [cmake options...]
#
# --tests also builds zibrolt_tests.exe (GoogleTest from Debian's source package, built with the
# cross compiler). SQLite is compiled from its amalgamation, taken from an npm package that
# bundles it, at a pinned version whose checksums are checked here; it is cached under
# build-windows/ and never part of the repository.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
out="$top/build-windows"

# SQLite 3.40.1, the release of Debian 12's libsqlite3, as bundled by better-sqlite3 8.1.0.
sqlite_package=better-sqlite3@8.1.0
sqlite_version=3.40.1
package_sha256=9006504eac0c86e8d5f42d6b7a8282866bf041bc856ff4438fec83cb98e4c05f
sqlite3_c_sha256=de365966681a951cd2fd7b76796a683f0ec6458dfa8fc54cf16029d6833ef1d1
sqlite3_h_sha256=dc419c400665bd43b335d04d7562d78e1d5dcd464fa0d6150c9d5c3bc5d705f4

tests=OFF
if [ "${1:-}" = "--tests" ]; then
  tests=ON
  shift
fi

if [ "$tests" = ON ]; then
  tools/install-deps.sh --windows --windows-tests
else
  tools/install-deps.sh --windows
fi

sqlite="$out/sqlite-$sqlite_version"
if ! (cd "$sqlite" 2>/dev/null && echo "$sqlite3_c_sha256  sqlite3.c
$sqlite3_h_sha256  sqlite3.h" | sha256sum --check --status); then
  echo "== SQLite $sqlite_version amalgamation from npm package $sqlite_package"
  rm -rf "$sqlite" "$out/npm"
  mkdir -p "$sqlite" "$out/npm"
  tarball="$(cd "$out/npm" && npm pack "$sqlite_package" --silent | tail -n 1)"
  echo "$package_sha256  $out/npm/$tarball" | sha256sum --check --quiet
  tar -xzf "$out/npm/$tarball" -C "$out/npm" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  mv "$out/npm/package/deps/sqlite3/sqlite3.c" "$out/npm/package/deps/sqlite3/sqlite3.h" "$sqlite/"
  (cd "$sqlite" && echo "$sqlite3_c_sha256  sqlite3.c
$sqlite3_h_sha256  sqlite3.h" | sha256sum --check --quiet)
  rm -rf "$out/npm"
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# The programs' sources are compiled in batches (a unity build; the tests' own files are not):
# the cross build runs in every test run beside the Linux stages on the same cores, and batches
# take a third less compiler time. Two files of a batch that define one name alike fail to
# compile, here or in the clang build of the tests, which batches the same sources.
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/windows-x86_64.cmake" -DCMAKE_UNITY_BUILD=ON \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DZIBROLT_SQLITE_AMALGAMATION="$sqlite" -DBUILD_TESTING="$tests" \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$out/bin" "${launcher[@]}" "$@" >/dev/null
targets=(zibrolt zibrolt-settings zibrolt-show zibrolt-site zibrolt-check)
[ "$tests" = ON ] && targets+=(zibrolt_tests)
cmake --build "$out" -j "$(nproc)" --target "${targets[@]}"
echo "Windows programs are in build-windows/bin/."
