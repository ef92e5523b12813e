#!/usr/bin/env bash
# Fails when source folders include each other in a loop. Includes between folders run one way (see
# the README's folder map); the engine is the hub every subsystem calls through gEngine, and it
# starts and stops the subsystems it owns, so includes to and from engine/ are left out. A folder
# below another that must call it takes an interface it declares itself, which the upper folder
# implements and hands down.
set -euo pipefail
cd "$(dirname "$0")/.."
folders="core files render scene world terrain effects physics pathing sound network editor devices platform"

# "to from" for every include of one folder's file from another's sources.
edges=$(for from in $folders; do
  [ -d "$from" ] || continue
  grep -rhoE '^#include "[a-z]+/' "$from" --include='*.h' --include='*.cpp' | sed -E 's/^#include "([a-z]+)\//\1/' |
    sort -u | while read -r to; do
      if [ "$to" != "$from" ] && [[ " $folders " == *" $to "* ]]; then echo "$to $from"; fi
    done
done)

if loop=$(tsort <<<"$edges" 2>&1 >/dev/null) && [ -z "$loop" ]; then
  echo "check-folders: no include loops between folders"
  exit 0
fi
echo "check-folders: folders include each other in a loop; the includes between its folders, fewest first"
echo "(the loop is usually closed by the shortest list):"
members=$(sed -n 's/^tsort: //p' <<<"$loop" | grep -v 'input contains a loop' | sort -u)
include_lines() { grep -rnE "^#include \"$2/" "$1" --include='*.h' --include='*.cpp' || true; }
for from in $members; do
  for to in $members; do
    [ "$from" != "$to" ] || continue
    count=$(include_lines "$from" "$to" | wc -l)
    [ "$count" -eq 0 ] || echo "$count $from $to"
  done
done | sort -n | while read -r count from to; do
  echo "  $from -> $to ($count):"
  include_lines "$from" "$to" | head -3 | sed 's/^/    /'
done
echo "Pass an interface down instead: the lower folder declares what it needs, the upper one implements it."
exit 1
