#!/usr/bin/env bash
# Measures the five download functions on generated installations of several sizes and shapes
# and prints one markdown table: per function and terminal the badges read and written, wall and
# CPU time, time per badge, peak memory (all of it, then the private memory and the mapped file
# pages apart: a memory-mapped database counts in the first), the statements and fetches the
# run sent per badge and, through ODBC, the round trips per badge and what they cost at 0.3 ms
# each.
#
#   bench/run.sh [--large] [--no-build] [--odbc] [--site] [--build-dir DIR] [--work DIR]
#                [--baseline DIR] [--baseline-schema FILE] [--seed S] [--shapes "S..."]
#                [--functions "F..."] [--terminals "T..."] [--repeat N] [SIZE...]
#
# Sizes are badge counts (default 10000 100000; --large adds 1000000); shapes few-sets and
# own-sets, each also as SHAPE+shuffled (every table's rows stored in a shuffled order, as in an
# installation that grew over years); default few-sets own-sets own-sets+shuffled. --odbc
# reaches the same database file through the SQLite ODBC driver (unixODBC). --site adds, per
# size and shape, a zibrolt-site run of the functions for every active terminal, in a second
# table. Each function and the site run three times and the fastest run is shown (a shared
# machine's other work only ever slows a run down); --repeat N sets how often. --baseline DIR
# (another build's folder, say of the commit before a change) runs that build's zibrolt and
# zibrolt-site in turn with this one's on the same installations, and adds a table of both
# side by side, with whether their files and output are the same. --baseline-schema FILE gives
# the baseline's runs installations of their own, the same rows made from FILE (say the schema
# before a change of its indexes); without --baseline, this build is the baseline.
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
baseline_dir=""
baseline_schema=""
while [ $# -gt 0 ]; do
  case "$1" in
    --large) large=1 ;;
    --odbc) odbc=1 ;;
    --site) site=1 ;;
    --no-build) build=0 ;;
    --build-dir) build_dir="$(cd "$2" && pwd)"; shift ;;
    --baseline) baseline_dir="$(cd "$2" && pwd)"; shift ;;
    --baseline-schema) baseline_schema="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; shift ;;
    --work) work="$2"; shift ;;
    --seed) seed="$2"; shift ;;
    --functions) functions="$2"; shift ;;
    --terminals) terminals="$2"; shift ;;
    --shapes) shapes="$2"; shift ;;
    --repeat) repeat="$2"; shift ;;
    -h|--help) sed -n '2,26p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
settings="$build_dir/zibrolt-settings"
makedb="$build_dir/zibrolt-bench-db"
timer="$build_dir/zibrolt-bench-time"
# The builds whose runs are timed, each with the suffix of its logs and files: with
# --baseline, each round runs the other build, then this one.
[ -n "$baseline_schema" ] && [ -z "$baseline_dir" ] && baseline_dir="$build_dir"
builds=("$build_dir")
tags=("")
[ -n "$baseline_dir" ] && builds=("$baseline_dir" "$build_dir") && tags=(".baseline" "")
for tool in "$settings" "$makedb" "$timer"; do
  [ -x "$tool" ] || { echo "bench/run.sh: $tool is missing; build first" >&2; exit 1; }
done
for dir in "${builds[@]}"; do
  for tool in "$dir/zibrolt" "$dir/zibrolt-site"; do
    [ -x "$tool" ] || { echo "bench/run.sh: $tool is missing; build first" >&2; exit 1; }
  done
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

# timed DIR LOG COMMAND...: runs COMMAND in the working directory DIR with the counter hook on
# LOG.stats and its output in LOG.out, and keeps its time and memory in LOG.time when it is the
# fastest of LOG's runs so far. Sets rc to its exit status.
timed() {
  local dir="$1" log="$2" try_wall best_wall
  shift 2
  set +e
  (cd "$dir" && ZIBROLT_STATS="$log.stats" "$timer" "$log.try" "$@" >"$log.out")
  rc=$?
  set -e
  [ -f "$log.try" ] || return 0
  read -r try_wall _ <"$log.try" || try_wall=0
  best_wall=""
  [ -f "$log.time" ] && read -r best_wall _ <"$log.time"
  if [ -z "$best_wall" ] || awk -v a="$try_wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
    mv "$log.try" "$log.time"
  fi
  rm -f "$log.try"
}

# fastest LOG: "WALL CPU MAXRSS PRIVATE MAPPED" of LOG's fastest run, zeros without one.
fastest() {
  cat "$1.time" 2>/dev/null || echo "0 0 0 - -"
}

# same LOG-A LOG-B FILE-A FILE-B: whether two runs printed the same and left the same file.
same() {
  if cmp -s "$1.out" "$2.out" && { [ ! -e "$3" ] && [ ! -e "$4" ] || cmp -s "$3" "$4"; }; then
    echo same
  else
    echo DIFFERENT
  fi
}

# make_place DIR DSN [SCHEMA]: an installation in DIR (the database in data/bench.db, made from
# SCHEMA or the compiled-in schema, the settings in files/quarvenda.ini, from where zibrolt reads
# them in work/run), reached through ODBC as the data source DSN with --odbc.
make_place() {
  local place="$1" dsn="$2" schema=() net=sqlite:../../data/bench.db shuffled=()
  [ -n "${3:-}" ] && schema=(--schema "$3")
  [ "${shape%+shuffled}" != "$shape" ] && shuffled=(--shuffled)
  mkdir -p "$place/data" "$place/files" "$place/work/run"
  "$makedb" --badges "$size" --seed "$seed" --shape "${shape%+shuffled}" \
    ${shuffled[@]+"${shuffled[@]}"} ${schema[@]+"${schema[@]}"} "$place/data/bench.db" \
    >"$place/make.txt"
  echo "Installation: $(cat "$place/make.txt")${3:+ (schema $3)}"
  if [ "$odbc" = 1 ]; then
    local driver
    driver="$(find /usr/lib -name 'libsqlite3odbc.so' 2>/dev/null | head -1)"
    [ -n "$driver" ] || { echo "bench/run.sh: the SQLite ODBC driver is missing" >&2; exit 1; }
    printf '[%s]\nDriver = %s\nDatabase = %s\nLoadExt = %s\nNoCreat = 1\nTimeout = 10000\n' \
      "$dsn" "$driver" "$place/data/bench.db" "$build_dir/zibrolt_compat.so" >>"$inst/odbc.ini"
    export ODBCINI="$inst/odbc.ini"
    net="$dsn"
  fi
  "$settings" write "$place/files/quarvenda.ini" --login bench --password bench \
    --net "$net" --db-system SQLITE --schema korvadat >/dev/null
}

rows=()
site_rows=()
baseline_rows=()
for size in "${sizes[@]}"; do
for shape in $shapes; do
  inst="$work/$shape/$size"
  rm -rf "$inst"
  mkdir -p "$inst/out" "$inst/log"
  make_place "$inst" BENCH
  # Each build's runs work in its installation's work/run: with --baseline-schema the baseline
  # has one of its own, else both read the same.
  places=("$inst")
  [ -n "$baseline_dir" ] && places=("$inst" "$inst")
  if [ -n "$baseline_schema" ]; then
    make_place "$inst/baseline" BENCH-BASELINE "$baseline_schema"
    places=("$inst/baseline" "$inst")
  fi

  for function in $functions; do
    for terminal in $terminals; do
      name="$function-$terminal"
      stats="$inst/log/$name.stats"
      for tag in "${tags[@]}"; do
        rm -f "$inst/log/$name$tag.stats" "$inst/log/$name$tag.time"
      done
      for ((try = 1; try <= repeat; try++)); do
        for i in "${!builds[@]}"; do
          timed "${places[$i]}/work/run" "$inst/log/$name${tags[$i]}" "${builds[$i]}/zibrolt" \
            "$function" "$terminal" \
            "$inst/out/$name${tags[$i]}.dnl" 1
          [ "$rc" -eq 0 ] || break 2
        done
      done
      # The generators end with "Ausweise gesamt: READ davon in Datei gestellt: WRITTEN";
      # a run without that line read no badges.
      counts="$(LC_ALL=C grep -ao 'Ausweise gesamt: [0-9]* davon in Datei gestellt: [0-9]*' \
                "$inst/log/$name.out" | tail -1 || true)"
      read_rows="$(echo "$counts" | sed -n 's/^Ausweise gesamt: \([0-9]*\) .*/\1/p')"
      written="$(echo "$counts" | sed -n 's/.*gestellt: \([0-9]*\)$/\1/p')"
      read -r wall cpu_s rss_kib anon_kib file_kib < <(fastest "$inst/log/$name")
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
      if [ -n "$baseline_dir" ]; then
        read -r b_wall b_cpu _ b_anon _ < <(fastest "$inst/log/$name.baseline")
        baseline_rows+=("| $size | $shape | $function | $terminal | $b_wall | $wall | $b_cpu \
| $cpu_s | $(mib "$b_anon") | $(mib "$anon_kib") | $(mib "$file_kib") \
| $(same "$inst/log/$name.baseline" "$inst/log/$name" "$inst/out/$name.baseline.dnl" \
  "$inst/out/$name.dnl") |")
      fi
    done
  done
  if [ "$site" = 1 ]; then
    # Every active terminal with every measured function, as a site's night would run them.
    for i in "${!builds[@]}"; do
      tag="${tags[$i]}"
      rm -rf "$inst/out/site$tag" "$inst/log/site$tag.time" "$inst/log/site$tag.stats"
      mkdir -p "$inst/out/site$tag"
      (cd "${places[$i]}/work/run" && "${builds[$i]}/zibrolt-site" --make-jobs "$functions" \
        "$inst/out/site$tag/{terminal}-{function}.dnl" >"jobs$tag.txt")
    done
    jobs="$(grep -c . "$inst/work/run/jobs.txt")"
    for ((try = 1; try <= repeat; try++)); do
      for i in "${!builds[@]}"; do
        timed "${places[$i]}/work/run" "$inst/log/site${tags[$i]}" "${builds[$i]}/zibrolt-site" \
          "jobs${tags[$i]}.txt"
        [ "$rc" -eq 0 ] || break 2
      done
    done
    stats="$inst/log/site.stats"
    read -r wall cpu_s rss_kib anon_kib file_kib < <(fastest "$inst/log/site")
    trips="$(sed -n 's/.*round_trips=\([0-9]*\).*/\1/p' "$stats" 2>/dev/null | tail -1)"
    trips="${trips:-0}"
    # The single runs above that sent the most round trips, for comparison.
    most=0
    for f in "$inst"/log/*-*.stats; do
      [ -f "$f" ] && [ "$f" != "$stats" ] && [ "${f%.baseline.stats}" = "$f" ] || continue
      n="$(sed -n 's/.*round_trips=\([0-9]*\).*/\1/p' "$f" | tail -1)"
      [ "${n:-0}" -gt "$most" ] && most="$n"
    done
    status=""
    [ "$rc" -ne 0 ] && status=" (exit $rc)"
    trip_cols="- | - | -"
    [ "$odbc" = 1 ] && trip_cols="$trips | $(ratio "$trips" 1 2 0.0003) | $most"
    site_rows+=("| $size | $shape | $jobs$status | $wall | $cpu_s | $(ratio "$rss_kib" 1024 1) \
| $(mib "$anon_kib") | $(mib "$file_kib") | $trip_cols |")
    if [ -n "$baseline_dir" ]; then
      read -r b_wall b_cpu _ b_anon _ < <(fastest "$inst/log/site.baseline")
      # Its output tells the times of the jobs; the files are compared.
      files=DIFFERENT
      diff -rq "$inst/out/site.baseline" "$inst/out/site" >/dev/null && files=same
      baseline_rows+=("| $size | $shape | zibrolt-site, $jobs jobs | | $b_wall | $wall | $b_cpu \
| $cpu_s | $(mib "$b_anon") | $(mib "$anon_kib") | $(mib "$file_kib") | $files |")
    fi
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
if [ -n "$baseline_dir" ]; then
  echo
  echo "Against $baseline_dir${baseline_schema:+ on installations made from $baseline_schema}, in turn with each run (the fastest of each):"
  echo
  echo "| size | shape | function | terminal | baseline s | s | baseline CPU s | CPU s | baseline private MiB | private MiB | mapped MiB | file and output |"
  echo "|---:|---|---|---|---:|---:|---:|---:|---:|---:|---:|---|"
  printf '%s\n' "${baseline_rows[@]}"
fi
