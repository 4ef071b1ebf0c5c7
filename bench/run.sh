#!/usr/bin/env bash
# Measures the five download functions on generated installations of several sizes and shapes
# and prints one markdown table: per function and terminal the badges read and written, wall and
# CPU time, time per badge, peak memory (all of it, then the private memory and the mapped file
# pages apart: a memory-mapped database counts in the first), the statements and fetches the
# run sent per badge and, through ODBC, the round trips per badge and what they cost at 0.3 ms
# each.
#
#   bench/run.sh [--large] [--no-build] [--odbc] [--site] [--build-dir DIR] [--work DIR]
#                [--seed S] [--shapes "S..."] [--functions "F..."] [--terminals "T..."]
#                [--repeat N] [SIZE...]
#
# Sizes are badge counts (default 10000 100000; --large adds 1000000); shapes few-sets and
# own-sets, each also as SHAPE+shuffled (every table's rows stored in a shuffled order, as in an
# installation that grew over years); default few-sets own-sets own-sets+shuffled. --odbc
# reaches the same database file through the SQLite ODBC driver (unixODBC). --site adds, per
# size and shape, one zibrolt-site run of the functions for every active terminal, in a second
# table. Each function runs three times and the fastest run is shown (a shared machine's other
# work only ever slows a run down); --repeat N sets how often.
# See bench/README.md.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"

build=1
build_dir="$top/build"
work=""
seed=1
functions="MGDNL17P MGDNL18P MGDNL31P MGDNL60P IDSTAMM"
terminals="BENCH-ALL BENCH-MND"
shapes="few-sets own-sets own-sets+shuffled"
sizes=()
large=0
odbc=0
site=0
repeat=3
while [ $# -gt 0 ]; do
  case "$1" in
    --large) large=1 ;;
    --odbc) odbc=1 ;;
    --site) site=1 ;;
    --no-build) build=0 ;;
    --build-dir) build_dir="$(cd "$2" && pwd)"; shift ;;
    --work) work="$2"; shift ;;
    --seed) seed="$2"; shift ;;
    --functions) functions="$2"; shift ;;
    --terminals) terminals="$2"; shift ;;
    --shapes) shapes="$2"; shift ;;
    --repeat) repeat="$2"; shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "bench/run.sh: unknown option $1" >&2; exit 2 ;;
    *) sizes+=("$1") ;;
  esac
  shift
done
[ ${#sizes[@]} -eq 0 ] && sizes=(10000 100000)
[ "$large" = 1 ] && sizes+=(1000000)
[ -n "$work" ] || work="$build_dir/bench"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

if [ "$build" = 1 ]; then
  (cd "$top" && tools/build.sh)
fi
zibrolt="$build_dir/zibrolt"
settings="$build_dir/zibrolt-settings"
makedb="$build_dir/zibrolt-bench-db"
timer="$build_dir/zibrolt-bench-time"
sitetool="$build_dir/zibrolt-site"
for tool in "$zibrolt" "$settings" "$makedb" "$timer" "$sitetool"; do
  [ -x "$tool" ] || { echo "bench/run.sh: $tool is missing; build first" >&2; exit 1; }
done

# The machine, so that the table can be read later.
cpu="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)"
mem="$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
echo "Machine: $(nproc) cores, ${cpu:-unknown CPU}, $mem memory; seed $seed; $(date +%Y-%m-%d)"
echo

# ratio A B DECIMALS [SCALE]: SCALE * A / B rounded, 0 when B is 0 (a run that read nothing).
ratio() {
  awk -v a="$1" -v b="$2" -v d="$3" -v s="${4:-1}" \
    'BEGIN { if (b + 0 == 0) print 0; else printf "%.*f\n", d, s * a / b }'
}

# mib KIB: KiB in MiB with one decimal, "-" where the timer could not sample it.
mib() {
  case "${1:-}" in ''|-) echo - ;; *) ratio "$1" 1024 1 ;; esac
}

rows=()
site_rows=()
for size in "${sizes[@]}"; do
for shape in $shapes; do
  inst="$work/$shape/$size"
  rm -rf "$inst"
  mkdir -p "$inst/data" "$inst/files" "$inst/work/run" "$inst/out" "$inst/log"
  shuffled=()
  [ "${shape%+shuffled}" != "$shape" ] && shuffled=(--shuffled)
  "$makedb" --badges "$size" --seed "$seed" --shape "${shape%+shuffled}" ${shuffled[@]+"${shuffled[@]}"} \
    "$inst/data/bench.db" >"$inst/log/make.txt"
  echo "Installation: $(cat "$inst/log/make.txt")"
  # zibrolt reads ../../files/quarvenda.ini from its working directory work/run.
  net=sqlite:../../data/bench.db
  if [ "$odbc" = 1 ]; then
    driver="$(find /usr/lib -name 'libsqlite3odbc.so' 2>/dev/null | head -1)"
    [ -n "$driver" ] || { echo "bench/run.sh: the SQLite ODBC driver is missing" >&2; exit 1; }
    printf '[BENCH]\nDriver = %s\nDatabase = %s\nLoadExt = %s\nNoCreat = 1\nTimeout = 10000\n' \
      "$driver" "$inst/data/bench.db" "$build_dir/zibrolt_compat.so" >"$inst/odbc.ini"
    export ODBCINI="$inst/odbc.ini"
    net=BENCH
  fi
  "$settings" write "$inst/files/quarvenda.ini" --login bench --password bench \
    --net "$net" --db-system SQLITE --schema korvadat >/dev/null

  for function in $functions; do
    for terminal in $terminals; do
      name="$function-$terminal"
      stats="$inst/log/$name.stats"
      rm -f "$stats" "$inst/log/$name.time"
      for ((try = 1; try <= repeat; try++)); do
        set +e
        (cd "$inst/work/run" && ZIBROLT_STATS="$stats" \
          "$timer" "$inst/log/$name.try" "$zibrolt" "$function" "$terminal" \
          "$inst/out/$name.dnl" 1 >"$inst/log/$name.out")
        rc=$?
        set -e
        # The fastest run's time and memory are kept.
        if [ -f "$inst/log/$name.try" ]; then
          read -r try_wall _ <"$inst/log/$name.try" || try_wall=0
          best_wall=""
          [ -f "$inst/log/$name.time" ] && read -r best_wall _ <"$inst/log/$name.time"
          if [ -z "$best_wall" ] || awk -v a="$try_wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'
          then
            mv "$inst/log/$name.try" "$inst/log/$name.time"
          fi
          rm -f "$inst/log/$name.try"
        fi
        [ "$rc" -eq 0 ] || break
      done
      # The generators end with "Ausweise gesamt: READ davon in Datei gestellt: WRITTEN";
      # a run without that line read no badges.
      counts="$(LC_ALL=C grep -ao 'Ausweise gesamt: [0-9]* davon in Datei gestellt: [0-9]*' \
                "$inst/log/$name.out" | tail -1 || true)"
      read_rows="$(echo "$counts" | sed -n 's/^Ausweise gesamt: \([0-9]*\) .*/\1/p')"
      written="$(echo "$counts" | sed -n 's/.*gestellt: \([0-9]*\)$/\1/p')"
      read -r wall cpu_s rss_kib anon_kib file_kib <"$inst/log/$name.time" ||
        { wall=0; cpu_s=0; rss_kib=0; anon_kib=-; file_kib=-; }
      line="$(tail -1 "$stats" 2>/dev/null || true)"
      executions="$(echo "$line" | sed -n 's/.*executions=\([0-9]*\).*/\1/p')"
      fetches="$(echo "$line" | sed -n 's/.*fetches=\([0-9]*\).*/\1/p')"
      trips="$(echo "$line" | sed -n 's/.*round_trips=\([0-9]*\).*/\1/p')"
      read_rows="${read_rows:-0}" written="${written:-0}"
      executions="${executions:-0}" fetches="${fetches:-0}" trips="${trips:-0}"
      # Round trips are counted where a server is reached: through ODBC only.
      trips_per_badge="-" trip_seconds="-"
      if [ "$odbc" = 1 ]; then
        trips_per_badge="$(ratio "$trips" "$read_rows" 4)"
        trip_seconds="$(ratio "$trips" 1 2 0.0003)"
      fi
      status=""
      [ "$rc" -ne 0 ] && status=" (exit $rc)"
      rows+=("| $size | $shape | $function$status | $terminal | $written | $read_rows | $wall | $cpu_s \
| $(ratio "$read_rows" "$wall" 0) | $(ratio "$wall" "$read_rows" 2 1000000) \
| $(ratio "$rss_kib" 1024 1) | $(mib "$anon_kib") | $(mib "$file_kib") \
| $(ratio "$executions" "$read_rows" 2) \
| $(ratio "$fetches" "$read_rows" 2) | $trips_per_badge | $trip_seconds |")
    done
  done
  if [ "$site" = 1 ]; then
    # Every active terminal with every measured function, as a site's night would run them.
    mkdir -p "$inst/out/site"
    (cd "$inst/work/run" && "$sitetool" --make-jobs "$functions" \
      '../../out/site/{terminal}-{function}.dnl' >jobs.txt)
    jobs="$(grep -c . "$inst/work/run/jobs.txt")"
    stats="$inst/log/site.stats"
    rm -f "$stats"
    set +e
    (cd "$inst/work/run" && ZIBROLT_STATS="$stats" \
      "$timer" "$inst/log/site.time" "$sitetool" jobs.txt >"$inst/log/site.out")
    rc=$?
    set -e
    read -r wall cpu_s rss_kib anon_kib file_kib <"$inst/log/site.time" ||
      { wall=0; cpu_s=0; rss_kib=0; anon_kib=-; file_kib=-; }
    trips="$(sed -n 's/.*round_trips=\([0-9]*\).*/\1/p' "$stats" 2>/dev/null | tail -1)"
    trips="${trips:-0}"
    # The single runs above that sent the most round trips, for comparison.
    most=0
    for f in "$inst"/log/*-*.stats; do
      [ -f "$f" ] && [ "$f" != "$stats" ] || continue
      n="$(sed -n 's/.*round_trips=\([0-9]*\).*/\1/p' "$f" | tail -1)"
      [ "${n:-0}" -gt "$most" ] && most="$n"
    done
    status=""
    [ "$rc" -ne 0 ] && status=" (exit $rc)"
    trip_cols="- | - | -"
    [ "$odbc" = 1 ] && trip_cols="$trips | $(ratio "$trips" 1 2 0.0003) | $most"
    site_rows+=("| $size | $shape | $jobs$status | $wall | $cpu_s | $(ratio "$rss_kib" 1024 1) \
| $(mib "$anon_kib") | $(mib "$file_kib") | $trip_cols |")
  fi
done
done

echo
echo "| size | shape | function | terminal | badges | rows read | s | CPU s | badges/s | µs/badge | peak RSS MiB | private MiB | mapped MiB | statements/badge | fetches/badge | round trips/badge | s at 0.3 ms |"
echo "|---:|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
if [ "$site" = 1 ]; then
  echo
  echo "| size | shape | zibrolt-site jobs | s | CPU s | peak RSS MiB | private MiB | mapped MiB | round trips | s at 0.3 ms | most round trips of one single run above |"
  echo "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  printf '%s\n' "${site_rows[@]}"
fi
