#!/usr/bin/env bash
# Measures what the tests catch instead of assuming it: plants one plausible fault at a time, one
# per layer of the program, in a copy of the tree, builds the copy and runs its tests on the
# embedded database, and expects every fault to make them fail. Prints "caught" or "MISSED" per
# fault and ends with status 1 when any fault was missed or could no longer be planted (the code
# it changes has moved: the fault below must follow it).
#
# The caller's tree is never changed: the copy (tracked and new files, as they are now) and its
# build folder live in a temporary folder that is removed at the end (kept with --keep).
# --show plants each fault and shows it as a diff, without building anything.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)"
keep=0 show=0
for arg in "$@"; do
  case $arg in
    --keep) keep=1 ;;
    --show) show=1 ;;
    *) echo "usage: $0 [--keep] [--show]" >&2; exit 2 ;;
  esac
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zibrolt-faults-XXXXXX")"
cleanup() { if ((keep)); then echo "copy kept in $work"; else rm -rf "$work"; fi; }
trap cleanup EXIT
tree="$work/tree"
mkdir -p "$tree"
(cd "$src" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 tar -cf - --no-recursion --ignore-failed-read 2>/dev/null) | tar -xf - -C "$tree"

# name | file | perl substitution applied to the whole file
faults=(
  'a record byte: the location reader of MGDNL17P marked 08|formats/mgdnl17p.cpp|s/"07", 2\)/"08", 2)/'
  'a lookup status: an unreadable location is passed over|generators/mgdnl17p.cpp|s/if \(sqlhlp::IsError\(location\.status\)\) return/if (false) return/'
  'a validity boundary: the assigned badges end the day before AswGbi|data/badges.cpp|s/^    "trunc\(SYSDATE\)<=AswGbi\)\)\) and \(AWVCOD/    "trunc(SYSDATE)<AswGbi))) and (AWVCOD/m'
  'the class match: a time class counts as an access class|data/checks.cpp|s/m\.isAccess\) held_/m.isAccess || m.time) held_/'
  'the old-file guarantee: a failed run puts its file in place|frame/run_driver.cpp|s/(function->abortMessage\);\n\s*)return false;/$1file.Commit();\n    return false;/'
  'the cipher: a round adds where it should exclusive-or|frame/cipher.cpp|s/\) \^ ctx\.S\[2\]/) + ctx.S[2]/'
  "the site's client filter: an assignment row counts once however often it is there|data/client_filter.cpp|s/\? 0 : found->second;/? 0 : 1;/"
  'a Windows path: a backslash in a terminal name is kept in its file name|tools/site/make_jobs.cpp|s/c == '"'"'-'"'"' \|\| c == '"'"'_'"'"' \|\|/c == '"'"'-'"'"' || c == '"'"'_'"'"' || c == '"'"'\\\\'"'"' ||/'
  'a text conversion: a character cut by the end of a value is read on|text/cp1252.cpp|s/i \+ extra >= n/i + extra > n/'
  "the site's pass: its jobs no longer share the pass's lookups|tools/site/site_run.cpp|s/&list, &shared\}/&list, nullptr}/"
)

# The quick tier on the copy: its build, then every test on the embedded database, stopping at
# the first failure.
quick_tier() {
  (cd "$tree" && tools/build.sh -DZIBROLT_TEST_ODBC=OFF) >"$work/build.log" 2>&1 || return 2
  (cd "$tree/build" && ctest -j2 --stop-on-failure -E '^odbc\.' >"$work/ctest.log" 2>&1) || return 1
  return 0
}

start=$SECONDS
if ((show)); then
  for entry in "${faults[@]}"; do
    IFS='|' read -r name file change <<<"$entry"
    cp -p "$tree/$file" "$work/original"
    perl -0pi -e "$change" "$tree/$file"
    echo "== $name"
    diff -U0 "$work/original" "$tree/$file" | tail -n +3 || true
    cp -p "$work/original" "$tree/$file"
  done
  exit 0
fi
echo "== the tree as it is: built and tested once, so that a failure below is the fault's"
if ! quick_tier; then
  echo "the unchanged tree does not build or pass its tests; see $work" >&2
  keep=1
  exit 1
fi

missed=0
for entry in "${faults[@]}"; do
  IFS='|' read -r name file change <<<"$entry"
  cp -p "$tree/$file" "$work/original"
  began=$SECONDS
  perl -0pi -e "$change" "$tree/$file"
  if cmp -s "$tree/$file" "$work/original"; then
    result="NOT PLANTED (the code it changes has moved)"
    missed=$((missed + 1))
  else
    set +e
    quick_tier
    rc=$?
    set -e
    case $rc in
      1) result="caught" ;;
      2) result="NOT PLANTED (the copy does not build with it)"; missed=$((missed + 1)) ;;
      *) result="MISSED"; missed=$((missed + 1)) ;;
    esac
  fi
  # Put back with a new time stamp, so that the next build compiles the file again.
  cp "$work/original" "$tree/$file"
  touch "$tree/$file"
  printf '%-9s %4ss  %s (%s)\n' "${result%% *}" $((SECONDS - began)) "$name" "$file"
  [[ "$result" == NOT* ]] && echo "          $result"
done
echo "== ${#faults[@]} faults, $missed not caught, $((SECONDS - start)) s"
((missed == 0))
