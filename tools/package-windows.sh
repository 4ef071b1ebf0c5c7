#!/usr/bin/env bash
# Builds the Windows zip build-windows/zibrolt-VERSION-windows-x86_64.zip: the five programs,
# the schema, the README and its guides with Windows line ends, the licences and a SHA-256 checksum file.
#
#   tools/package-windows.sh
#
# The programs come from tools/build-windows.sh (built here when build-windows/bin lacks them).
# One commit gives the same zip, byte for byte: the programs carry no link time, every file in
# the zip is dated with the last commit's time, in one order, without the owner's ids or
# extra time fields.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"
tools/install-deps.sh --package
out="$top/build-windows"
tools_=(zibrolt zibrolt-settings zibrolt-show zibrolt-site zibrolt-check)
for t in "${tools_[@]}"; do
  [ -f "$out/bin/$t.exe" ] || { tools/build-windows.sh; break; }
done
version="$(sed -n 's/^project(zibrolt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
name="zibrolt-$version-windows-x86_64"
stamp="$(git log -1 --format=%ct 2>/dev/null || date +%s)"

stage="$out/zip/$name"
rm -rf "$out/zip"
mkdir -p "$stage"
# Without their symbol tables (a site's fault report names the version, not an address); strip
# dates the program's header SOURCE_DATE_EPOCH, not now.
for t in "${tools_[@]}"; do
  SOURCE_DATE_EPOCH="$stamp" x86_64-w64-mingw32-strip -o "$stage/$t.exe" "$out/bin/$t.exe"
done
cp db/schema.sql "$stage/schema.sql"
sed 's/$/\r/' README.md > "$stage/README.md"
mkdir -p "$stage/docs"
for guide in docs/*.md; do sed 's/$/\r/' "$guide" > "$stage/$guide"; done
sed 's/$/\r/' packaging/windows-licenses.txt > "$stage/LICENSE.txt"
mkdir -p "$stage/scheduling"
cp docs/scheduling/zibrolt-site-task.xml "$stage/scheduling/"
(cd "$stage" && find . -type f ! -name SHA256SUMS.txt | LC_ALL=C sort | sed 's|^\./||' |
  xargs sha256sum | sed 's/$/\r/' > SHA256SUMS.txt)
find "$stage" -type f -exec chmod 0644 {} +
find "$stage" -exec touch -h -d "@$stamp" {} +
rm -f "$out/$name.zip"
(cd "$out/zip" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -9 "$out/$name.zip" -@)
rm -rf "$out/zip"
echo "$out/$name.zip"
(cd "$out" && sha256sum "$name.zip")
