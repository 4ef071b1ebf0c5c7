#!/usr/bin/env bash
# Builds the tool and the two companions the demo uses, makes the demo installation (an SQLite
# file and the enciphered settings) under build/demo/, writes the download files of the demo
# terminals into build/demo/out/ and shows each of them through zibrolt-show.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
tools/install-deps.sh
# Only what the demo runs: the tests and the other tools come with tools/build.sh.
tools/build.sh --target zibrolt --target zibrolt-settings --target zibrolt-show

demo="$top/build/demo"
rm -rf "$demo"
mkdir -p "$demo/files" "$demo/data" "$demo/work/run" "$demo/out"
sqlite3 "$demo/data/demo.db" < db/schema.sql
for f in tools/demo/*.sql; do sqlite3 "$demo/data/demo.db" < "$f"; done

# The tool reads ../../files/quarvenda.ini from its working directory: work/run -> files/.
build/zibrolt-settings write "$demo/files/quarvenda.ini" --login demo --password demo \
  --net sqlite:../../data/demo.db --db-system SQLITE --schema korvadat
echo "== Settings (build/demo/files/quarvenda.ini):"
build/zibrolt-settings show "$demo/files/quarvenda.ini"

cd "$demo/work/run"
run() {  # function terminal file
  echo
  echo "== zibrolt $1 $2 out/$3 1"
  set +e
  "$top/build/zibrolt" "$1" "$2" "$demo/out/$3" 1
  echo "(exit status $?)"
  set -e
}
run IDSTAMM  ZE-HAUPTEINGANG idstamm.txt
run MGDNL31P ZE-HAUPTEINGANG mgdnl31p.dnl
run MGDNL31P ZU-LAGER        mgdnl31p-lager.dnl
run MGDNL60P ZU-LAGER        mgdnl60p.dnl
run MGDNL17P ZE-HAUPTEINGANG mgdnl17p.dnl
run MGDNL18P ZE-HAUPTEINGANG mgdnl18p.dnl
run MGDNL18P ZE-KANTINE      mgdnl18p-kantine.dnl

# What each terminal is about to receive, field by field, and whether the file is sound. The
# whole table of each file goes to out/NAME.show.txt; shown here are the demo's special badges
# (the three hundred ordinary badges 100001 to 100300 are left out of the excerpt).
show() {  # function file
  echo
  echo "== zibrolt-show $1 out/$2   (whole table: out/$2.show.txt)"
  set +e
  (cd "$demo/out" && "$top/build/zibrolt-show" "$1" "$2" > "$2.show.txt" 2> "$2.check.txt")
  status=$?
  set -e
  grep -v -E '^[0-9]+ +100[0-9]{3} ' "$demo/out/$2.show.txt" || true
  cat "$demo/out/$2.check.txt"
  echo "(exit status $status)"
}
show IDSTAMM  idstamm.txt
show MGDNL31P mgdnl31p.dnl
show MGDNL31P mgdnl31p-lager.dnl
show MGDNL60P mgdnl60p.dnl
show MGDNL17P mgdnl17p.dnl
show MGDNL18P mgdnl18p.dnl
show MGDNL18P mgdnl18p-kantine.dnl
echo
echo "Download files are in build/demo/out/."
