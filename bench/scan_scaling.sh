#!/usr/bin/env bash
# How scan time grows with the number of modules: N copies of a small test
# plug-in in a folder tree, then a first scan, an unchanged rescan, and a
# rescan after a fifth of the modules were removed. Prints milliseconds per
# module for each phase. Usage: bench/scan_scaling.sh [N ...] (default 250 1000 4000)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
export WINEPREFIX="$PWD/build/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wine-prefix.sh "$WINEPREFIX"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(250 1000 4000)
plugin=build/plugins/effect_with_editor.dll
work="$PWD/build/bench-modules"
key='Software\Tarnwell\SievoBench'

now_ms() { date +%s%3N; }
scan() {
  local start end
  start=$(now_ms)
  wine build/bin/Sievo.exe "/VSTRegPerUser/VSTRegKey:$key"
  end=$(now_ms)
  echo $((end - start))
}

printf '%6s  %12s  %12s  %12s\n' N "first ms/mod" "rescan ms/mod" "-1/5 ms/mod"
for n in "${sizes[@]}"; do
  rm -rf "$work" && mkdir -p "$work"
  for ((i = 0; i < n; i++)); do
    d="$work/group$((i / 100))"
    mkdir -p "$d"
    cp "$plugin" "$d/plugin_$i.dll"
  done
  winpath="Z:${work//\//\\}"
  wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
  wine reg add "HKCU\\$key\\Paths" /v "$winpath" /d "$winpath" /f >/dev/null
  first=$(scan)
  rescan=$(scan)
  for ((i = 0; i < n; i += 5)); do rm -f "$work/group$((i / 100))/plugin_$i.dll"; done
  removed=$(scan)
  awk -v n="$n" -v a="$first" -v b="$rescan" -v c="$removed" \
    'BEGIN { printf "%6d  %12.3f  %12.3f  %12.3f\n", n, a / n, b / n, c / (n * 0.8) }'
done
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
rm -rf "$work"
