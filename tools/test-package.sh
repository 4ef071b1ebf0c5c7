#!/usr/bin/env bash
# Installs what a site installs and runs it as a site would: builds the Debian package
# (tools/package-deb.sh), installs it, runs the demo's jobs and a zibrolt-check with the
# installed tools from a working directory outside the source tree, compares every file with
# the build tree's zibrolt (build/, from tools/build.sh), reads a manual page, checks the
# scheduling examples, removes the package and checks that nothing of it is left. Then builds
# the Windows zip twice (tools/package-windows.sh), which must give the same bytes, unpacks it
# and runs its zibrolt.exe under Wine on the same jobs. Needs root (it installs a package).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
[ "$(id -u)" -eq 0 ] || { echo "tools/test-package.sh installs a package: run it as root" >&2; exit 1; }
[ -x build/zibrolt ] || { echo "tools/test-package.sh compares with build/zibrolt: run tools/build.sh first" >&2; exit 1; }

echo "== The Debian package"
tools/package-deb.sh
deb="$(ls "$top"/build-package/zibrolt_*.deb)"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null

work="$(mktemp -d)"
cleanup() {
  rm -rf "$work"
  dpkg-query -W zibrolt >/dev/null 2>&1 && apt-get purge -y -qq zibrolt >/dev/null
  return 0
}
trap cleanup EXIT

# The demo installation from the installed schema; zibrolt reads ../../files/quarvenda.ini from
# work/run.
mkdir -p "$work/files" "$work/data" "$work/work/run" "$work/installed" "$work/built" "$work/windows"
sqlite3 "$work/data/demo.db" < /usr/share/zibrolt/schema.sql
for f in tools/demo/*.sql; do sqlite3 "$work/data/demo.db" < "$f"; done
zibrolt-settings write "$work/files/quarvenda.ini" --login demo --password demo \
  --net sqlite:../../data/demo.db --schema korvadat >/dev/null
jobs=(
  "IDSTAMM ZE-HAUPTEINGANG idstamm.txt"
  "MGDNL31P ZE-HAUPTEINGANG mgdnl31p.dnl"
  "MGDNL60P ZU-LAGER mgdnl60p.dnl"
  "MGDNL17P ZE-HAUPTEINGANG mgdnl17p.dnl"
  "MGDNL18P ZE-KANTINE mgdnl18p.dnl"
)
# Each job writes ../../out/FILE, then the file and what the run printed go to FOLDER.
run_jobs() {  # folder program...
  local folder="$1" function terminal file
  shift
  cd "$work/work/run"
  for job in "${jobs[@]}"; do
    read -r function terminal file <<<"$job"
    mkdir -p ../../out
    "$@" "$function" "$terminal" "../../out/$file" 1 > "$work/$folder/$file.out"
    mv "../../out/$file" "$work/$folder/$file"
  done
}
run_jobs installed /usr/bin/zibrolt
run_jobs built "$top/build/zibrolt"
diff -r "$work/built" "$work/installed"
for job in "${jobs[@]}"; do
  read -r function terminal file <<<"$job"
  echo "$function $terminal ../../site/$file 1" >> "$work/site.jobs"
done
mkdir -p "$work/site"
/usr/bin/zibrolt-site "$work/site.jobs" > "$work/site.out"
for job in "${jobs[@]}"; do
  read -r _ _ file <<<"$job"
  cmp "$work/built/$file" "$work/site/$file"
done
/usr/bin/zibrolt-check --terminal ZE-HAUPTEINGANG > "$work/check.out" ||
  { cat "$work/check.out"; exit 1; }
echo "installed tools: ${#jobs[@]} files as the build's, zibrolt-site and zibrolt-check pass"

man -P cat zibrolt-site 2>/dev/null | grep -q "^EXIT STATUS" || { echo "man zibrolt-site: no page" >&2; exit 1; }
examples=/usr/share/doc/zibrolt/scheduling
systemd-analyze verify --man=no "$examples/zibrolt-site.service" "$examples/zibrolt-site.timer"
xmllint --noout "$examples/zibrolt-site-task.xml"
echo "manual page, scheduler examples: read and verified"

cd "$top"
apt-get purge -y -qq zibrolt >/dev/null
left="$(ls -d /usr/bin/zibrolt* /usr/share/zibrolt /usr/share/doc/zibrolt /usr/lib/*/zibrolt \
  /usr/share/man/man1/zibrolt* 2>/dev/null || true)"
[ -z "$left" ] || { echo "left after removing the package:" >&2; echo "$left" >&2; exit 1; }
echo "package removed, nothing of it left"

echo "== The Windows zip"
zip="$(tools/package-windows.sh)"
zip="${zip%%$'\n'*}"
first="$(sha256sum < "$zip")"
tools/package-windows.sh >/dev/null
[ "$first" = "$(sha256sum < "$zip")" ] || { echo "two zips of one commit differ" >&2; exit 1; }
unzip -q "$zip" -d "$work/unpacked"
(cd "$work/unpacked"/* && sha256sum --quiet -c <(tr -d '\r' < SHA256SUMS.txt))
exe="$(ls "$work"/unpacked/*/zibrolt.exe)"
if command -v /usr/lib/wine/wine64 >/dev/null; then
  export WINEPREFIX="$top/build-windows/wine" WINEDEBUG=-all
  # Wine now and then fails to start a program: tools/wine-run.sh tells that from a failure.
  wine_zibrolt() { "$top/tools/wine-run.sh" --lf "$exe" "$@"; }
  run_jobs windows wine_zibrolt
  diff -r "$work/built" "$work/windows"
  echo "zip: the same bytes twice, checksums hold, zibrolt.exe writes the build's ${#jobs[@]} files"
else
  echo "zip: the same bytes twice, checksums hold (no Wine here: zibrolt.exe not run)"
fi
