#!/usr/bin/env bash
# The tests in three tiers; docs/developer.md ("Tests") says what each covers and how long it
# takes on a machine with 2 cores.
#
#   tools/test.sh --quick  before each commit: the build, every test once on the embedded
#                          database, and the ODBC backend's own tests through the SQLite ODBC
#                          driver and the misbehaving test driver.
#   tools/test.sh          CI and a first run: the build, the ODBC copies of the tests that reach
#                          a database, the SQL grammar check, the embedded tests and the ODBC
#                          backend's tests under AddressSanitizer and UndefinedBehaviorSanitizer
#                          and, from the same clang build, the saved fuzz inputs and a short
#                          fuzzing, and the Windows build under Wine (the tests of what differs
#                          there) with the demo files compared to the Linux build's.
#   tools/test.sh --full   before a release: the above with every test also in the plain build,
#                          every ODBC copy under the sanitizers, ThreadSanitizer over the list
#                          reader and zibrolt-site, long fuzzing, the Windows build from scratch
#                          with all its tests, and the planted faults.
set -euo pipefail
cd "$(dirname "$0")/.."
tier=default
case "${1:-}" in
  --quick) tier=quick ;;
  --full) tier=full ;;
  "") ;;
  *) echo "usage: tools/test.sh [--quick | --full]" >&2; exit 2 ;;
esac
jobs="$(nproc)"
werror=ON  # compiler warnings as errors

# Each stage says its time when it ends, and the times are summed up at the end, so that a
# slow stage shows itself.
times=()
stage_name=""
stage_start=$SECONDS
stage() {
  [ -n "$stage_name" ] && times+=("$(printf '%5d s  %s' $((SECONDS - stage_start)) "$stage_name")")
  stage_name="$1"
  stage_start=$SECONDS
  [ -n "$stage_name" ] && echo "== $stage_name"
  return 0
}
summary() {
  stage ""
  echo "== tools/test.sh${1:+ $1}: $SECONDS s"
  printf '%s\n' "${times[@]}"
}

stage "Build"
if [ "$tier" = quick ]; then
  tools/install-deps.sh --tests
else
  # Everything at once: the Windows build below runs beside the other stages, and two package
  # installs at one moment would find the package database locked.
  tools/install-deps.sh --tests --fuzz --windows --windows-tests --wine
fi
tools/build.sh -DZIBROLT_TEST_ODBC=ON -DZIBROLT_WERROR="$werror"

if [ "$tier" = quick ]; then
  stage "Tests on the embedded database, and the ODBC backend's tests"
  (cd build && ctest --output-on-failure -j "$jobs" -L 'embedded|odbc-backend')
  summary --quick
  exit 0
fi

# The Windows build needs nothing of the Linux stages but the Linux build's path. Started now at
# the lowest priority, it takes the cores the Linux stages leave idle (the ends of test runs, the
# parsers' start, the fuzz replays); its stage below then only waits for it, and runs Wine.
windows=()
if [ "$tier" = full ]; then
  windows=(--all-tests)
  # From scratch: a stale object or cache of an earlier build cannot hide a fault. The checked
  # SQLite amalgamation is kept; it is a download, not a build.
  find build-windows -mindepth 1 -maxdepth 1 ! -name 'sqlite-*' -exec rm -rf {} + \
    2>/dev/null || true
fi
mkdir -p build-windows
windows_start=$SECONDS
# A process group of its own (job control), so that a stage that fails ends the build beside it
# too; in this session, or the scheduler would share the cores between the sessions and ignore
# its priority.
set -m
nice -n 19 tools/test-windows.sh "${windows[@]}" --build-only </dev/null >build-windows/build.log 2>&1 &
windows_build=$!
set +m
trap 'kill -- -"$windows_build" 2>/dev/null || true' EXIT

# Tests labelled odbc are the copies that reach the installation through the SQLite ODBC
# driver; the database-free tests have none (tests/CMakeLists.txt). The default tier runs the
# others once, under the sanitizers below: the same tests, with every memory and undefined-
# behaviour check besides. The compiler that builds what sites run (GCC at -O2) is still tested
# by the ODBC copies here, which run every download function whole, and by the Windows stage.
# Two tests run in the plain build instead: the comparison of the demo files through both
# backends, whose code the sanitizers see in the others, and the benchmark script's tables.
plain_only='^(OdbcRun\.|BenchRun\.ScriptTabulatesEveryRun$)'
if [ "$tier" = full ]; then
  stage "Tests on the embedded database and through ODBC"
  (cd build && ctest --output-on-failure -j "$jobs")
else
  stage "Tests through ODBC"
  (cd build && ctest --output-on-failure -j "$jobs" -R "^odbc\\.|$plain_only")
fi

stage "The statements against Oracle's grammar"
if [ "$tier" = full ]; then
  tools/check-oracle-grammar.sh
else
  tools/check-oracle-grammar.sh --if-changed
fi

# One clang build serves two stages: AddressSanitizer and UndefinedBehaviorSanitizer over the
# tests, and the fuzz targets, which need clang's libFuzzer and the same sanitizers. It is built
# as one source file per target and batch (a throw-away build: compile time is what counts),
# with clang's warnings as errors beside GCC's. The sanitizers see every line of our code in
# the embedded tests and the ODBC backend's own tests; the ODBC copies of the others add time,
# not lines (the full tier runs them).
stage "Build with clang, the sanitizers and the fuzz targets"
tools/install-deps.sh --fuzz
if ! grep -qs '^CMAKE_CXX_COMPILER:.*clang' build-sanitize/CMakeCache.txt; then
  rm -rf build-sanitize  # a GCC build of an earlier layout: a new compiler needs a new folder
fi
CC=clang CXX=clang++ cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DZIBROLT_SANITIZE=ON -DZIBROLT_FUZZ=ON -DCMAKE_UNITY_BUILD=ON \
  -DZIBROLT_TEST_ODBC=ON -DZIBROLT_WERROR="$werror" >/dev/null
cmake --build build-sanitize -j "$jobs"

stage "Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if [ "$tier" = full ]; then
  (cd build-sanitize && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$jobs")
else
  (cd build-sanitize && UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" -L 'embedded|odbc-backend' -E "$plain_only")
fi

if [ "$tier" = full ]; then
  # The list reader reads ahead on a thread of its own, and zibrolt-site runs its jobs from one
  # view of the database: the tests of both under ThreadSanitizer.
  stage "The list reader and zibrolt-site under ThreadSanitizer"
  tsan=(-fsanitize=thread -fno-omit-frame-pointer)
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIBROLT_TEST_ODBC=OFF \
    -DCMAKE_C_FLAGS="${tsan[*]}" -DCMAKE_CXX_FLAGS="${tsan[*]}" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread \
    -DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=thread >/dev/null
  cmake --build build-tsan -j "$jobs"
  (cd build-tsan && TSAN_OPTIONS=halt_on_error=1 \
    ctest --output-on-failure -j "$jobs" -R '^(ListReadAhead|Site|Installations/SiteSameBytes)\.')
fi

stage "Fuzzing: the saved inputs of every target, then new ones"
if [ "$tier" = full ]; then
  tools/fuzz.sh --build-dir build-sanitize "${ZIBROLT_FUZZ_SECONDS:-300}"
else
  tools/fuzz.sh --build-dir build-sanitize "${ZIBROLT_FUZZ_SECONDS:-10}"
fi

stage "The Windows build under Wine, its demo files against the Linux build's"
if ! wait "$windows_build"; then
  cat build-windows/build.log
  echo "FAILED: the Windows build"
  exit 1
fi
echo "(built beside the Linux stages, done $((SECONDS - windows_start)) s after it started)"
tools/test-windows.sh "${windows[@]}"

if [ "$tier" = full ] && [ -x tools/planted-faults.sh ]; then
  stage "Planted faults, each of which the quick tier must catch"
  tools/planted-faults.sh
fi

summary "${1:-}"
