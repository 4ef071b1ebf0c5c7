#!/usr/bin/env bash
# Checks the manual pages a build made (BUILD/packaging/man): each renders without a warning,
# has the sections a site looks for, and every option its hand-written part names is one the
# tool's --help still offers (the rest of the page is made from --help itself).
#
#   tools/check-man-pages.sh BUILD
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
bad=0
for part in "$top"/packaging/man/*.h2m; do
  tool="$(basename "$part" .h2m)"
  page="$build/packaging/man/$tool.1.gz"
  [ -f "$page" ] || { echo "$tool: no page $page" >&2; bad=1; continue; }
  warnings="$(zcat "$page" | groff -ww -z -man 2>&1)"
  [ -z "$warnings" ] || { echo "$tool: $warnings" >&2; bad=1; }
  for section in NAME "EXIT STATUS" FILES "SEE ALSO"; do
    zcat "$page" | grep -q "^\.SH \"\?$section\"\?$" || { echo "$tool: no section $section" >&2; bad=1; }
  done
  help="$("$build/$tool" --help)"
  for option in $(sed 's/\\-/-/g' "$part" | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    grep -q -- "$option" <<<"$help" || { echo "$tool: $option is not in --help" >&2; bad=1; }
  done
done
[ "$bad" -eq 0 ] && echo "manual pages: sound, and their options are the tools'"
exit "$bad"
