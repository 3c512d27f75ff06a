#!/usr/bin/env bash
# What an unchanged rescan costs per module of one kind: N copies of a VST 2
# effect, then of a VST 3 module, each in its own inventory; one first scan,
# then R rescans that find nothing changed (checked: PluginsScanned 0). Prints
# the first scan and the fastest and median rescan in ms per module. A scan is
# timed as one Wine process from start to exit, so the process start (about
# 0.2 s) is in every figure; on a shared machine the median is the figure to
# read.
#
# Usage: bench/rescan_by_kind.sh [--build DIR] [N [R]]   (default 400 modules, 7 rescans)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
if [ "${1:-}" = --build ]; then
  build=${2:?--build needs a directory}
  shift 2
fi
n=${1:-400}
rounds=${2:-7}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target Sievo effect_with_editor vst3_single_component >/dev/null
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wine-prefix.sh "$WINEPREFIX"

# No "vst3" in a folder name: the walk skips DLLs in such folders.
work=$build/bench-kinds
key='Software\Tarnwell\SievoBenchKinds'
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
cleanup() {
  wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Microseconds per module of one scan.
scan() {
  local start end
  start=$(date +%s%6N)
  wine "$build/bin/Sievo.exe" "/VSTRegPerUser/VSTRegKey:$key" >&2
  end=$(date +%s%6N)
  echo $(((end - start) / n))
}
counter() {
  wine reg query "HKCU\\$key\\Inventory" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v { print $3 }' | { read -r hex && echo $((hex)); }
}
ms() { awk -v us="$1" 'BEGIN { printf "%.2f", us / 1000 }'; }

echo "| kind | modules | first scan | unchanged rescan, fastest | median |"
echo "|---|---|---|---|---|"
for kind in "VST 2 effect" "VST 3 module"; do
  cleanup
  if [ "$kind" = "VST 2 effect" ]; then source=$build/plugins/effect_with_editor.dll ext=dll
  else source=$build/plugins/single_component.vst3 ext=vst3; fi
  for ((i = 0; i < n; i++)); do
    mkdir -p "$work/group$((i / 100))"
    cp "$source" "$work/group$((i / 100))/module_$i.$ext"
  done
  wine reg add "HKCU\\$key\\Paths" /v "$(winpath "$work")" /d "$(winpath "$work")" /f >/dev/null
  first=$(scan)
  [ "$(counter PluginsScanned)" = "$n" ] || echo "warning: the first scan probed $(counter PluginsScanned) of $n" >&2
  times=()
  for ((r = 0; r < rounds; r++)); do
    times+=("$(scan)")
    [ "$(counter PluginsScanned)" = 0 ] || echo "warning: a rescan probed $(counter PluginsScanned) modules" >&2
  done
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  echo "| $kind | $n | $(ms "$first") | $(ms "${sorted[0]}") | $(ms "${sorted[$((rounds / 2))]}") |"
done
