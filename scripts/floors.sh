#!/usr/bin/env bash
# Checks that every include of the program points down its floors:
#   app/                            the run: command line, sequence, loop, probe guard
#   discovery/ vst2/ vst3/ ui/      what the run calls
#   inventory/ notify/              the records and the host's notifications
#   diag/                           fault guard, failure points, the log
#   core/                           the process-wide context, handle owners, small helpers
# A file may include its own folder and any floor below its own, nothing else.
# tools/, bench/ and tests/ are programs of their own and may use any floor.
set -euo pipefail
cd "$(dirname "$0")/.."
floor() {
  case "$1" in
    app) echo 5 ;;
    discovery | vst2 | vst3 | ui) echo 4 ;;
    inventory | notify) echo 3 ;;
    diag) echo 2 ;;
    core) echo 1 ;;
    *) echo 0 ;;
  esac
}
bad=0
while IFS= read -r file; do
  own=${file%%/*}
  ownFloor=$(floor "$own")
  [ "$ownFloor" -gt 0 ] || continue
  while IFS= read -r included; do
    target=${included%%/*}
    [ "$target" = "$own" ] && continue
    targetFloor=$(floor "$target")
    [ "$targetFloor" -gt 0 ] || continue
    if [ "$targetFloor" -ge "$ownFloor" ]; then
      echo "$file includes $included: $own/ may not stand on $target/"
      bad=1
    fi
  done < <(grep -oE '^#include "[a-z0-9]+/[^"]+"' "$file" | sed -E 's/^#include "//; s/"$//')
done < <(find app discovery vst2 vst3 ui inventory notify diag core -name '*.cpp' -o -name '*.h' | sort)
[ $bad -eq 0 ] && echo "Every include points down."
exit $bad
