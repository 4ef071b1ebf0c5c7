#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests, and tells Wine's failure to start it from the
# program's own failure. Now and then, on a loaded machine, Wine does not get a program going:
# it ends with status 1 having printed nothing at all, or prints one of its own start messages
# ("wine: failed to ...", "wine: could not ...", "wine client error: ...") on standard error.
# Neither happens once our program runs: zibrolt ends with 0 or -1, and the tools print a line on
# standard output or standard error with every failure. Only such a start is tried again, twice
# at most, and the retry is said on standard error; any other ending is the program's own.
#
#   tools/wine-run.sh [--lf] PROGRAM.exe [ARGUMENTS...]
#
# --lf reads the Windows console's CR LF line ends as LF on both streams. Output is passed on
# when the program has ended. With ZIBROLT_WINE_PID_FILE set, the Wine process's id is written
# there, so that a test can send it the host's SIGINT (a shell started in the background ignores
# SIGINT and cannot pass it on).
set -u
lf=0
if [ "${1:-}" = --lf ]; then
  lf=1
  shift
fi
wine="${ZIBROLT_WINE:-/usr/lib/wine/wine64}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
exec 4<&0  # the program's standard input; a background job would get /dev/null

# What Wine prints when the program never started, as opposed to a program that crashed
# ("wine: Unhandled exception ...") or printed its own failure.
wine_start_message='^(wine: (failed to|could not)|wine client error|wine-preloader: |'
wine_start_message+='could not exec (wineserver|the wine loader))'
start_failure() {
  if [ "$status" -eq 1 ] && [ ! -s "$scratch/out" ] && [ ! -s "$scratch/err" ]; then
    echo "status 1, nothing printed"
    return 0
  fi
  [ "$status" -ne 0 ] && [ ! -s "$scratch/out" ] &&
    grep -m 1 -E "$wine_start_message" "$scratch/err"
}

for attempt in 1 2 3; do
  "$wine" "$@" <&4 >"$scratch/out" 2>"$scratch/err" &
  pid=$!
  [ -n "${ZIBROLT_WINE_PID_FILE:-}" ] && echo "$pid" >"$ZIBROLT_WINE_PID_FILE"
  wait "$pid"
  status=$?
  [ "$attempt" -lt 3 ] || break
  reason="$(start_failure)" || break
  echo "(Wine did not start $(basename "$1"): $reason; started again)" >&2
done

if [ "$lf" -eq 1 ]; then
  sed 's/\r$//' "$scratch/err" >&2
  sed 's/\r$//' "$scratch/out"
else
  cat "$scratch/err" >&2
  cat "$scratch/out"
fi
exit "$status"
