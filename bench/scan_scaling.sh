#!/usr/bin/env bash
# How scan time grows with the number of modules, and how far each scan stands
# above the least work it cannot avoid. For every N: N copies of test modules
# in a folder tree (100 a folder; 45% VST 2 effects, 45% VST 3 modules, 10%
# VST 2 shells of three), then
#   first scan                    against SievoBenchFloor load (each module loaded,
#                                 entry called, effect closed or factory released)
#   unchanged rescan              against SievoBenchFloor open (each record key
#                                 opened, each file's time and size read)
#   rescan after removing 1/5     against the same over the modules left
#   sandboxed, 1 worker           background mode with scanInSandbox=1 and
#   sandboxed, 2 workers          sandboxWorkers 1 or 2 over all N modules again,
#                                 from an empty inventory, against the first-scan
#                                 floor
#   sandboxed, crash-heavy        the same with 2 workers after one module in
#                                 twenty was replaced by one that crashes (its
#                                 load-error dialog waits out the time limit),
#                                 hangs or ends its process; sandboxTimeout 2 s
# Scanner and floor are timed alike: wall clock of one Wine process, start to
# exit. Prints a Markdown table of milliseconds per module and the ratio to the
# floor, then each phase's per-module cost at the largest N against the smallest.
#
# First scans (plain and sandboxed) are timed --repeat times from an empty
# inventory and the median is kept: a shared virtual machine steals time in
# bursts.
#
# Usage: bench/scan_scaling.sh [--build DIR] [--background] [--repeat R] [--sandbox-up-to N] [N ...]
#   --build DIR         build directory (default build; configured and built as needed)
#   --repeat R          runs of each first scan, the median kept (default 3)
#   --background        plain scans in background mode too (default: visible, with
#                       the progress window, as a scan started by hand)
#   --sandbox-up-to N   leave out the sandboxed scan above N modules (one process per module)
#   N ...               module counts (default 250 1000 4000)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build
background=0
repeat=3
sandbox_max=
sizes=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?--build needs a directory}; shift 2 ;;
    --background) background=1; shift ;;
    --repeat) repeat=${2:?--repeat needs a number}; shift 2 ;;
    --sandbox-up-to) sandbox_max=${2:?--sandbox-up-to needs a number}; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) sizes+=("$1"); shift ;;
  esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(250 1000 4000)

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"$(nproc)" \
  --target Sievo SievoBenchFloor effect_with_editor shell_three vst3_single_component crash_in_open hang_in_entry \
  exits_in_entry >/dev/null
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wine-prefix.sh "$WINEPREFIX"

vst2=$build/plugins/effect_with_editor.dll
shell=$build/plugins/shell_three.dll
vst3=$build/plugins/single_component.vst3
misfits=("$build/plugins/crash_in_open.dll" "$build/plugins/hang_in_entry.dll" "$build/plugins/exits_in_entry.dll")
# No "vst3" in the folder path: the walk skips DLLs in such folders.
work=$build/bench-modules
lists=$build/bench-lists
key='Software\Tarnwell\SievoBench'
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

cleanup() {
  wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
  rm -rf "$work" "$lists"
}
trap cleanup EXIT

now_ms() { date +%s%3N; }

# Module i: of every 20, 9 VST 2 effects, 9 VST 3 modules, 2 shells.
module_path() {
  local i=$1 k=$(($1 % 20)) d="$work/group$(($1 / 100))"
  if ((k < 9)); then echo "$d/plugin_$i.dll"
  elif ((k < 18)); then echo "$d/plugin_$i.vst3"
  else echo "$d/shell_$i.dll"; fi
}
module_source() {
  local k=$(($1 % 20))
  if ((k < 9)); then echo "$vst2"; elif ((k < 18)); then echo "$vst3"; else echo "$shell"; fi
}
place_module() {
  local path
  path=$(module_path "$1")
  mkdir -p "$(dirname "$path")"
  cp "$(module_source "$1")" "$path"
}
# The Windows paths of the modules that exist, one a line, for the floor.
write_list() {
  local n=$1 out=$2 path
  : >"$out"
  for ((i = 0; i < n; i++)); do
    path=$(module_path "$i")
    [ -e "$path" ] && winpath "$path" >>"$out"
  done
  return 0
}

# Milliseconds of one scan, start to exit.
scan() {
  local flags="/VSTRegPerUser/VSTRegKey:$key" start end
  [ "${1:-}" = background ] && flags+="/Background"
  start=$(now_ms)
  wine "$build/bin/Sievo.exe" "$flags" >&2
  end=$(now_ms)
  echo $((end - start))
}

# The median milliseconds of --repeat scans, each from an empty inventory.
first_scan() {
  local times=() r
  for ((r = 0; r < repeat; r++)); do
    wine reg delete "HKCU\\$key\\Inventory" /f >/dev/null 2>&1 || true
    times+=("$(scan "$1")")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

# Milliseconds of one floor run; sets floor_line to what it printed.
floor_line=
floor() {
  local start end
  start=$(now_ms)
  # A floor that dies (see check_floor) still leaves the other phases to run.
  floor_line=$(wine "$build/bin/SievoBenchFloor.exe" "$@" | tr -d '\r') || floor_line="modules ? done 0 loop_ms 0"
  end=$(now_ms)
  floor_ms=$((end - start))
}

counter() {
  local hex
  hex=$(wine reg query "HKCU\\$key\\Inventory" /v "$1" 2>/dev/null | tr -d '\r' |
    awk -v name="$1" '$1 == name { print $3 }')
  [ -n "$hex" ] && echo $((hex))
  return 0
}

# Checks the scan did the work it is timed for; a scan that found another
# running (its mutex) would end at once and time nothing.
expect_counter() {
  local name=$1 want=$2 got
  got=$(counter "$name")
  if [ "${got:-}" != "$want" ]; then
    echo "warning: $name is ${got:-missing} after the $3, expected $want" >&2
  fi
}

per_module() { awk -v ms="$1" -v n="$2" 'BEGIN { printf "%.2f", ms / n }'; }
ratio() { awk -v a="$1" -v b="$2" -v d="${3:-1}" 'BEGIN { printf "%." d "f", a / b }'; }

declare -A cost
rows=()
record() {  # N phase modules scan_ms floor_ms floor_loop_ms
  local n=$1 phase=$2 modules=$3 scan_per floor_per loop_per
  scan_per=$(per_module "$4" "$modules")
  floor_per=$(per_module "$5" "$modules")
  loop_per=$(per_module "$6" "$modules")
  cost[$phase,$n]=$scan_per
  rows+=("| $n | $phase | $modules | $scan_per | $floor_per | $(ratio "$scan_per" "$floor_per")x |")
  echo "N=$n $phase: $scan_per ms/module, floor $floor_per ms/module ($loop_per of it in the floor's loop)" >&2
}
loop_ms() { awk '{ print $6 }' <<<"$floor_line"; }
check_floor() {
  local modules done_
  modules=$(awk '{ print $2 }' <<<"$floor_line")
  done_=$(awk '{ print $4 }' <<<"$floor_line")
  [ "$modules" = "$done_" ] || echo "warning: the floor managed $done_ of $modules modules ($1)" >&2
}

mode=visible
((background)) && mode=background
for n in "${sizes[@]}"; do
  cleanup
  mkdir -p "$work" "$lists"
  for ((i = 0; i < n; i++)); do place_module "$i"; done
  vst2s=0 vst3s=0 shells=0
  for ((i = 0; i < n; i++)); do
    k=$((i % 20))
    if ((k < 9)); then ((++vst2s)); elif ((k < 18)); then ((++vst3s)); else ((++shells)); fi
  done
  plugins=$((vst2s + vst3s + 3 * shells))
  write_list "$n" "$lists/all.txt"
  wine reg add "HKCU\\$key\\Paths" /v "$(winpath "$work")" /d "$(winpath "$work")" /f >/dev/null
  # Background mode sandboxes by default: the plain phases say they do not.
  wine reg add "HKCU\\$key" /v scanInSandbox /t REG_DWORD /d 0 /f >/dev/null

  first=$(first_scan $mode)
  expect_counter PluginsScanned "$plugins" "first scan"
  floor load "$(winpath "$lists/all.txt")"
  check_floor "load"
  record "$n" "first scan" "$n" "$first" "$floor_ms" "$(loop_ms)"
  first_floor_ms=$floor_ms first_floor_loop=$(loop_ms)

  rescan=$(scan $mode)
  expect_counter PluginsScanned 0 "unchanged rescan"
  floor open "$key" "$(winpath "$lists/all.txt")"
  check_floor "open"
  record "$n" "unchanged rescan" "$n" "$rescan" "$floor_ms" "$(loop_ms)"

  for ((i = 0; i < n; i += 5)); do rm -f "$(module_path "$i")"; done
  write_list "$n" "$lists/left.txt"
  left=$(wc -l <"$lists/left.txt")
  removed=$(scan $mode)
  expect_counter PluginsDeleted $((n - left)) "rescan after removing 1/5"
  floor open "$key" "$(winpath "$lists/left.txt")"
  check_floor "open after removing"
  record "$n" "rescan after removing 1/5" "$left" "$removed" "$floor_ms" "$(loop_ms)"

  if [ -z "$sandbox_max" ] || ((n <= sandbox_max)); then
    for ((i = 0; i < n; i += 5)); do place_module "$i"; done
    wine reg add "HKCU\\$key" /v scanInSandbox /t REG_DWORD /d 1 /f >/dev/null
    for workers in 1 2; do
      wine reg add "HKCU\\$key" /v sandboxWorkers /t REG_DWORD /d $workers /f >/dev/null
      sandboxed=$(first_scan background)
      expect_counter PluginsScanned "$plugins" "sandboxed scan with $workers worker(s)"
      phase="sandboxed, $workers worker"
      ((workers > 1)) && phase+=s
      record "$n" "$phase" "$n" "$sandboxed" "$first_floor_ms" "$first_floor_loop"
    done

    # Module 20k+5 of the VST 2 effects becomes a misfit, in turn one that
    # crashes, hangs and ends its process.
    for ((i = 5; i < n; i += 20)); do cp "${misfits[$(((i / 20) % 3))]}" "$(module_path "$i")"; done
    wine reg delete "HKCU\\$key\\Inventory" /f >/dev/null 2>&1 || true
    wine reg add "HKCU\\$key" /v sandboxTimeout /t REG_DWORD /d 2 /f >/dev/null
    heavy=$(scan background)
    record "$n" "sandboxed, crash-heavy" "$n" "$heavy" "$first_floor_ms" "$first_floor_loop"
    wine reg delete "HKCU\\$key" /v sandboxTimeout /f >/dev/null 2>&1 || true
    wine reg delete "HKCU\\$key" /v scanInSandbox /f >/dev/null 2>&1 || true
  fi
done

echo "Scans: $mode (sandboxed: background). Floors and scans: wall clock of one Wine process."
echo
echo "| N | phase | modules | ms/module | floor ms/module | x floor |"
echo "|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
small=${sizes[0]} large=${sizes[-1]}
if [ "$small" != "$large" ]; then
  echo
  echo "Per-module cost at N=$large against N=$small:"
  for phase in "first scan" "unchanged rescan" "rescan after removing 1/5" "sandboxed, 1 worker" \
    "sandboxed, 2 workers" "sandboxed, crash-heavy"; do
    a=${cost[$phase,$small]:-} b=${cost[$phase,$large]:-}
    [ -n "$a" ] && [ -n "$b" ] && echo "  $phase: $(ratio "$b" "$a" 2)x"
  done
fi
