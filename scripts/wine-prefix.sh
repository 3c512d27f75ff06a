#!/usr/bin/env bash
# Prepares a Wine prefix for headless runs: initialised once, with the null
# graphics driver so windows and dialogs work without a display, and with the
# dialog fonts (scripts/wine-fonts.sh).
# Usage: wine-prefix.sh PREFIX_DIR
set -euo pipefail
prefix=${1:?prefix directory}
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.sievo-ready" ]; then
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  wineserver -k || true
  wineserver -w || true
  touch "$WINEPREFIX/.sievo-ready"
fi
"$(dirname "$0")/wine-fonts.sh" "$WINEPREFIX"
