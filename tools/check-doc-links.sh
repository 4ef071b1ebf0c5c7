#!/usr/bin/env bash
# Checks the links of the README and the guides: every file a link names exists, and every
# #anchor is a heading of the file it points into (as the heading's text becomes an anchor on a
# code host: lower case, punctuation dropped, blanks as hyphens).
#
#   tools/check-doc-links.sh [SOURCE-TOP]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

anchors() {  # file
  awk '/^```/ { code = !code; next } !code && /^#+ / { sub(/^#+ /, ""); print }' "$1" |
    tr 'A-Z' 'a-z' | sed 's/[^a-z0-9_ -]//g; s/ /-/g'
}
bad=0
links=0
for doc in README.md docs/*.md bench/README.md; do
  folder="$(dirname "$doc")"
  while IFS= read -r link; do
    case "$link" in http://* | https://* | mailto:*) continue ;; esac
    links=$((links + 1))
    file="${link%%#*}"
    anchor=""
    [[ "$link" == *"#"* ]] && anchor="${link#*#}"
    target="$doc"
    [ -n "$file" ] && target="$folder/$file"
    if [ ! -e "$target" ]; then
      echo "$doc: ($link): there is no $target" >&2
      bad=1
    elif [ -n "$anchor" ] && ! anchors "$target" | grep -qxF -- "$anchor"; then
      echo "$doc: ($link): $target has no heading for #$anchor" >&2
      bad=1
    fi
  done < <(grep -oE '\]\([^) ]+\)' "$doc" | sed 's/^](//; s/)$//')
done
[ "$bad" -eq 0 ] && echo "documentation: $links links, each to a file and heading that exist"
exit "$bad"
