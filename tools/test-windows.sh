#!/usr/bin/env bash
# Tests the Windows build under Wine: cross-builds the programs and zibrolt_tests.exe, runs the
# tests of the embedded database under Wine, and writes the demo's download files with the Linux
# and the Windows zibrolt, which must agree byte for byte: the files, and what the runs print
# once the Windows console's CR LF line ends are read as LF; then interrupts zibrolt.exe and
# zibrolt-site.exe with Ctrl+C. Needs the Linux build in build/ (tools/build.sh) for the demo
# installation, the comparison and the large installation the interrupted runs write from.
#
#   tools/test-windows.sh [--all-tests] [--build-only]
#
# --all-tests also runs the tests of code that is the same on every system (tests/CMakeLists.txt).
# --build-only builds and makes Wine's prefix, and runs nothing: tools/test.sh does that beside
# its Linux stages.
set -euo pipefail
all_tests=OFF
build_only=0
for option in "$@"; do
  case "$option" in
    --all-tests) all_tests=ON ;;
    --build-only) build_only=1 ;;
    *) echo "usage: tools/test-windows.sh [--all-tests] [--build-only]" >&2; exit 2 ;;
  esac
done
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
out="$top/build-windows"

tools/install-deps.sh --wine
tools/build-windows.sh --tests -DZIBROLT_WERROR=ON -DZIBROLT_WINDOWS_ALL_TESTS="$all_tests" \
  -DZIBROLT_HOST_BENCH_DB="$top/build/zibrolt-bench-db"

export WINEPREFIX="$out/wine" WINEDEBUG=-all
# Every program of the stage starts through the one helper that starts it again when Wine, not
# the program, failed.
wine() { "$top/tools/wine-run.sh" "$@"; }
# One Wine server serves the whole stage (a server that ends while idle can fail the next
# program's start); the prefix is made once, and its first start takes a while.
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver64 -k 2>/dev/null || true
/usr/lib/wine/wineserver64 -p
# wineboot's status tells nothing; the programs below do.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true' EXIT
[ "$build_only" -eq 1 ] && exit 0

# Two halves of the tests side by side: most of a test's time is Wine starting programs, one
# at a time within a test.
echo "== Tests of the embedded database under Wine"
shards=2
for shard in $(seq 0 $((shards - 1))); do
  GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard \
    wine "$out/bin/zibrolt_tests.exe" --gtest_brief=1 >"$out/tests-$shard.log" 2>&1 &
  pids[$shard]=$!
done
tests_failed=0
for shard in $(seq 0 $((shards - 1))); do
  wait "${pids[$shard]}" || tests_failed=1
  cat "$out/tests-$shard.log"
done
[ "$tests_failed" -eq 0 ] || { echo "FAILED: tests under Wine"; exit 1; }

echo "== Demo files from the Linux and the Windows build"
demo="$out/demo"
rm -rf "$demo"
mkdir -p "$demo/files" "$demo/data" "$demo/work/run" "$demo/out" "$demo/linux" "$demo/windows"
sqlite3 "$demo/data/demo.db" < db/schema.sql
for f in tools/demo/*.sql; do sqlite3 "$demo/data/demo.db" < "$f"; done
build/zibrolt-settings write "$demo/files/quarvenda.ini" --login demo --password demo \
  --net sqlite:../../data/demo.db --db-system SQLITE --schema korvadat >/dev/null
runs=(
  "IDSTAMM ZE-HAUPTEINGANG idstamm.txt"
  "MGDNL31P ZE-HAUPTEINGANG mgdnl31p.dnl"
  "MGDNL31P ZU-LAGER mgdnl31p-lager.dnl"
  "MGDNL60P ZU-LAGER mgdnl60p.dnl"
  "MGDNL17P ZE-HAUPTEINGANG mgdnl17p.dnl"
  "MGDNL18P ZE-HAUPTEINGANG mgdnl18p.dnl"
  "MGDNL18P ZE-KANTINE mgdnl18p-kantine.dnl"
  "MGDNL17P GIBTS-NICHT missing.dnl"
  "MGDNL17P ZE-HAUPTEINGANG ordner.dnl"  # a folder where the file belongs: exit status -1
)
mkdir "$demo/out/ordner.dnl"
failed=0
for side in linux windows; do
  for r in "${runs[@]}"; do
    read -r function terminal file <<<"$r"
    set +e
    if [ "$side" = linux ]; then
      (cd "$demo/work/run" && "$top/build/zibrolt" "$function" "$terminal" "../../out/$file" 1) \
        > "$demo/$side/$file.log"
    else
      (cd "$demo/work/run" && wine "$out/bin/zibrolt.exe" "$function" "$terminal" "../../out/$file" 1) \
        > "$demo/$side/$file.crlf"
    fi
    echo "exit status $?" >> "$demo/$side/$file.status"
    set -e
    [ -f "$demo/out/$file" ] && mv "$demo/out/$file" "$demo/$side/$file"
  done
done
for r in "${runs[@]}"; do
  read -r function terminal file <<<"$r"
  # Every line the Windows console got ends in CR LF; without the CR it is the Linux line.
  if grep -qv $'\r$' "$demo/windows/$file.crlf"; then
    echo "FAILED: $file: a line of the Windows run does not end in CR LF"
    failed=1
  fi
  sed 's/\r$//' "$demo/windows/$file.crlf" > "$demo/windows/$file.log"
  for part in "$file" "$file.log" "$file.status"; do
    if [ -e "$demo/linux/$part" ] || [ -e "$demo/windows/$part" ]; then
      if ! cmp "$demo/linux/$part" "$demo/windows/$part"; then
        echo "FAILED: $part differs between the Linux and the Windows build"
        failed=1
      fi
    fi
  done
done

# A name with an umlaut reaches Windows in the ANSI code page (Wine converts from the host's
# UTF-8) and names the same file.
(cd "$demo/work/run" && LC_ALL=C.UTF-8 wine "$out/bin/zibrolt.exe" MGDNL31P ZU-LAGER \
  "../../out/Türen.dnl" 1 >/dev/null)
cmp "$demo/linux/mgdnl31p-lager.dnl" "$demo/out/Türen.dnl" || {
  echo "FAILED: a file name with an umlaut"
  failed=1
}

# Four runs appending to one file at once take turns: all four land, no lock file stays.
for i in 1 2 3 4; do
  (cd "$demo/work/run" && wine "$out/bin/zibrolt.exe" MGDNL17P ZE-HAUPTEINGANG ../../out/four.dnl 0 \
    >"$demo/four-$i.log"; echo "exit status $?" >>"$demo/four-$i.log") &
done
wait
cat "$demo/linux/mgdnl17p.dnl" "$demo/linux/mgdnl17p.dnl" "$demo/linux/mgdnl17p.dnl" \
  "$demo/linux/mgdnl17p.dnl" | cmp - "$demo/out/four.dnl" || {
  echo "FAILED: four runs appending at once"
  tail -n 2 "$demo"/four-*.log
  failed=1
}
if ls -a "$demo/out" | grep -q zibrolt; then
  echo "FAILED: a lock or temporary file stayed behind"
  failed=1
fi

# Ctrl+C in the middle of a file: Wine hands the host's SIGINT to the program as the console's
# Ctrl+C event. zibrolt removes its temporary and lock files, keeps the old file and ends with -1;
# the site stops at the next badge and keeps every old file likewise.
if [ -x build/zibrolt-bench-db ]; then
  big="$out/interrupt"
  rm -rf "$big"
  mkdir -p "$big/files" "$big/data" "$big/work/run" "$big/out"
  build/zibrolt-bench-db --badges 100000 --terminals 2 "$big/data/big.db" >/dev/null
  build/zibrolt-settings write "$big/files/quarvenda.ini" --login demo --password demo \
    --net sqlite:../../data/big.db --db-system SQLITE --schema korvadat >/dev/null
  printf '%s\n' "MGDNL17P BENCH-ALL ../../out/a.dnl 1" "MGDNL18P BENCH-ALL ../../out/b.dnl 1" \
    "IDSTAMM BENCH-ALL ../../out/c.dnl 1" > "$big/work/run/jobs.txt"
  interrupted() {  # the line the run must print, then the program and its arguments
    local line=$1 status
    shift
    for f in a b c; do echo old > "$big/out/$f.dnl"; done
    rm -f "$big/wine.pid"
    (cd "$big/work/run" && ZIBROLT_WINE_PID_FILE="$big/wine.pid" exec "$top/tools/wine-run.sh" "$@") \
      > "$big/run.log" &
    local helper=$!
    for _ in $(seq 400); do  # until the run has begun a file, 20 s at most
      ls -A "$big/out" | grep -q zibrolt && break
      sleep 0.05
    done
    kill -INT "$(cat "$big/wine.pid" 2>/dev/null)" 2>/dev/null || true  # else judged below
    set +e
    wait "$helper"
    status=$?
    set -e
    if [ "$status" -ne 255 ] || ! sed 's/\r$//' "$big/run.log" | grep -qxF "$line" ||
      [ "$(cat "$big/out/a.dnl" "$big/out/b.dnl" "$big/out/c.dnl")" != "$(printf 'old\nold\nold')" ] ||
      ls -A "$big/out" | grep -q zibrolt; then
      echo "FAILED: Ctrl+C during $(basename "$1") (exit status $status):"
      cat "$big/run.log"
      ls -A "$big/out"
      failed=1
    fi
  }
  interrupted "Programmabbruch: Signal 2 empfangen, Downloaddatei ../../out/a.dnl bleibt unveraendert!" \
    "$out/bin/zibrolt.exe" MGDNL17P BENCH-ALL ../../out/a.dnl 1
  interrupted "Programmabbruch: Signal empfangen, Lauf beendet! Nicht ausgefuehrt: Zeile 1-3" \
    "$out/bin/zibrolt-site.exe" jobs.txt
else
  echo "(no build/zibrolt-bench-db: the interrupted runs are left out)"
fi

# Wine's odbc32 hands over to the host's unixODBC: the demo database behind the SQLite ODBC
# driver, reached by both builds through the same data source.
driver="$(ls /usr/lib/*/odbc/libsqlite3odbc.so 2>/dev/null | head -n 1)"
if [ -n "$driver" ] && [ -f build/zibrolt_compat.so ]; then
  printf '[ZIBROLT_DEMO]\nDriver = %s\nDatabase = %s\nLoadExt = %s\nNoCreat = 1\n' \
    "$driver" "$demo/data/demo.db" "$top/build/zibrolt_compat.so" > "$demo/odbc.ini"
  build/zibrolt-settings write "$demo/files/quarvenda.ini" --login demo --password demo \
    --net ZIBROLT_DEMO --db-system ORACLE --schema korvadat >/dev/null
  export ODBCINI="$demo/odbc.ini"
  for function in IDSTAMM MGDNL17P MGDNL18P MGDNL31P MGDNL60P; do
    set +e
    (cd "$demo/work/run" && "$top/build/zibrolt" $function ZE-HAUPTEINGANG ../../out/l.odbc 1) \
      > "$demo/linux/$function.odbc.log"
    echo "exit status $?" >> "$demo/linux/$function.odbc.log"
    (cd "$demo/work/run" && wine "$out/bin/zibrolt.exe" $function ZE-HAUPTEINGANG ../../out/w.odbc 1) \
      | sed 's/\r$//' > "$demo/windows/$function.odbc.log"
    echo "exit status ${PIPESTATUS[0]}" >> "$demo/windows/$function.odbc.log"
    set -e
    if ! cmp "$demo/out/l.odbc" "$demo/out/w.odbc" ||
      ! cmp "$demo/linux/$function.odbc.log" "$demo/windows/$function.odbc.log"; then
      echo "FAILED: $function through ODBC differs between the Linux and the Windows build"
      failed=1
    fi
  done
else
  echo "(no SQLite ODBC driver: the comparison through ODBC is left out)"
fi

[ "$failed" -eq 0 ] || exit 1
echo "The demo files and messages of the Windows build equal the Linux build's."
