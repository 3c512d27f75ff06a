#!/usr/bin/env bash
# Scans the bundled sample plug-ins in a Wine prefix of its own and shows
# what the scan found.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
root=$(pwd)
export WINEPREFIX="$root/build/wineprefix-demo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scripts/wine-prefix.sh "$WINEPREFIX"

samples="$root/build/demo-plugins"
rm -rf "$samples" && mkdir -p "$samples/Effects" "$samples/Instruments"
cp build/plugins/effect_with_editor.dll build/plugins/not_a_plugin.dll "$samples/Effects/"
cp build/plugins/synth_wants_midi.dll build/plugins/shell_three.dll "$samples/Instruments/"
mkdir -p "$samples/VST3"
cp build/plugins/separate_controller.vst3 build/plugins/shell_three_audio.vst3 "$samples/VST3/"

key='Software\Tarnwell\SievoDemo'
winpath="Z:${samples//\//\\}"
wine reg delete "HKCU\\$key" /f >/dev/null 2>&1 || true
wine reg add "HKCU\\$key\\Paths" /v "$winpath" /d "$winpath" /f >/dev/null

rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Tarnwell/Logs/Sievo*.log
wine build/bin/Sievo.exe "/VSTRegPerUser/VSTRegKey:$key/Log/Background"
log=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Tarnwell/Logs/Sievo.log)
echo "Scan log: $log"
echo
sed -n '/DLL.s found/,/^-----------------------------\r*$/p' "$log" | tr -d '\r'
echo
wine build/bin/SievoInventory.exe /VSTRegPerUser "/VSTRegKey:$key" /Metrics
