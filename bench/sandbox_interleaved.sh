#!/usr/bin/env bash
# Sandboxed against in-process first scans, interleaved: each round runs an
# in-process background scan, a sandboxed one with one worker and one with
# two workers, each from an empty inventory, over the same N modules (the mix
# of scan_scaling.sh: 45% VST 2 effects, 45% VST 3 modules, 10% VST 2 shells
# of three). On a shared virtual machine stolen time comes in bursts that
# last longer than one scan; running the three kinds in turn spreads a burst
# over all of them. Prints each run, then the medians in ms a module and each
# round's ratio to its in-process scan.
#
# Usage: bench/sandbox_interleaved.sh [--build DIR] [N [ROUNDS]]   (default 4000 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ "${1:-}" = "--build" ]; then build=${2:?--build needs a directory}; shift 2; fi
n=${1:-4000}
rounds=${2:-5}
cmake --build "$build" -j"$(nproc)" --target Sievo effect_with_editor shell_three vst3_single_component >/dev/null

work=$PWD/$build/bench-interleaved
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -d "$WINEPREFIX" ] || bash scripts/wine-prefix.sh "$WINEPREFIX" >/dev/null
rm -rf "$work/modules"
for ((i = 0; i < n; i++)); do
  k=$((i % 20)) folder=$work/modules/g$((i / 100))
  mkdir -p "$folder"
  if ((k < 9)); then cp "$build/plugins/effect_with_editor.dll" "$folder/p_$i.dll"
  elif ((k < 18)); then cp -r "$build/plugins/single_component.vst3" "$folder/p_$i.vst3"
  else cp "$build/plugins/shell_three.dll" "$folder/s_$i.dll"; fi
done
key='Software\Tarnwell\SievoInterleaved'
wine reg add "HKCU\\$key\\Paths" /v "$(winepath -w "$work/modules")" /d "$(winepath -w "$work/modules")" /f >/dev/null

scan() {  # scanInSandbox sandboxWorkers -> wall ms
  wine reg delete "HKCU\\$key\\Inventory" /f >/dev/null 2>&1 || true
  wine reg add "HKCU\\$key" /v scanInSandbox /t REG_DWORD /d "$1" /f >/dev/null
  wine reg add "HKCU\\$key" /v sandboxWorkers /t REG_DWORD /d "$2" /f >/dev/null
  local start end
  start=$(date +%s%3N)
  wine "$build/bin/Sievo.exe" "/VSTRegPerUser/VSTRegKey:$key/Background" >/dev/null 2>&1
  end=$(date +%s%3N)
  echo $((end - start))
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
inproc=() one=() two=()
for ((r = 1; r <= rounds; r++)); do
  inproc+=("$(scan 0 1)") one+=("$(scan 1 1)") two+=("$(scan 1 2)")
  echo "round $r: in process ${inproc[-1]} ms, 1 worker ${one[-1]} ms, 2 workers ${two[-1]} ms"
done
per() { awk -v ms="$1" -v n="$n" 'BEGIN { printf "%.2f", ms / n }'; }
m0=$(echo "${inproc[*]}" | median) m1=$(echo "${one[*]}" | median) m2=$(echo "${two[*]}" | median)
r1=$(for ((r = 0; r < rounds; r++)); do awk -v a="${one[r]}" -v b="${inproc[r]}" 'BEGIN { print a / b }'; done | median)
r2=$(for ((r = 0; r < rounds; r++)); do awk -v a="${two[r]}" -v b="${inproc[r]}" 'BEGIN { print a / b }'; done | median)
echo
echo "| N | rounds | in process ms/module | 1 worker ms/module | 2 workers ms/module | 1 worker / in process (median of rounds) | 2 workers / in process |"
echo "|---|---|---|---|---|---|---|"
printf '| %d | %d | %s | %s | %s | %.2fx | %.2fx |\n' "$n" "$rounds" "$(per "$m0")" "$(per "$m1")" "$(per "$m2")" "$r1" "$r2"
