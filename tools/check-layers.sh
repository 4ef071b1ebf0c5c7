#!/usr/bin/env bash
# Checks that includes run one way, from the tools at the top down to the text helpers: a file
# may include files of its own folder and of folders in lower layers only. The tests and the
# bench may include anything.
#
#   tools/check-layers.sh [SOURCE-TOP]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Layer of each folder, highest first; folders of one layer do not include each other.
declare -A layer=(
  [tools]=6
  [frame]=5
  [generators]=4
  [data]=3 [formats]=3
  [client]=2
  [backends]=1
  [db]=0 [platform]=0 [text]=0
)
bad=0
while IFS= read -r line; do
  file="${line%%:*}"
  included="${line#*#include \"}"
  from="${file%%/*}"
  to="${included%%/*}"
  [ "$from" = "$to" ] && continue
  if [ -z "${layer[$to]:-}" ] || [ "${layer[$to]}" -ge "${layer[$from]}" ]; then
    echo "$file includes ${included%\"*}: $from may include only the layers below it" >&2
    bad=1
  fi
done < <(grep -rE '^#include "[a-z_]+/' "${!layer[@]}" --include='*.cpp' --include='*.hpp')
[ "$bad" -eq 0 ] && echo "includes run downward in ${#layer[@]} folders"
exit "$bad"
