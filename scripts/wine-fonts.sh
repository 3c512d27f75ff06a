#!/usr/bin/env bash
# Gives a Wine prefix the fonts the dialogs are drawn with, so that every
# prefix measures and renders text alike: Wine's own Tahoma (Debian's Wine
# never loads it from /usr/share/wine/fonts; without it "Tahoma" falls back
# to DejaVu Sans, which is wider) and WenQuanYi Micro Hei for the Japanese
# and Chinese dialogs, linked to Tahoma so that their glyphs are drawn from it
# instead of as empty boxes. scripts/setup.sh installs both packages.
# Usage: wine-fonts.sh PREFIX_DIR   (WINEPREFIX and friends are set here)
set -euo pipefail
prefix=$(cd "${1:?prefix directory}" && pwd)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

wine_fonts=/usr/share/wine/fonts
cjk=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
# Marlett draws the caption buttons (without it the close box is an "r").
files=("$wine_fonts/tahoma.ttf" "$wine_fonts/tahomabd.ttf" "$wine_fonts/marlett.ttf" "$cjk")
for f in "${files[@]}"; do
  [ -f "$f" ] || { echo "wine-fonts.sh: $f is missing: run scripts/setup.sh (packages fonts-wine, fonts-wqy-microhei)" >&2; exit 1; }
done

fonts=$prefix/drive_c/windows/Fonts
mkdir -p "$fonts"
changed=""
for f in "${files[@]}"; do
  cmp -s "$f" "$fonts/$(basename "$f")" || { cp "$f" "$fonts/"; changed=1; }
done
fontkey='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts'
linkkey='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
link='wqy-microhei.ttc,WenQuanYi Micro Hei'
# Wine rewrites the links of Tahoma with its own whenever a program runs in
# another ANSI code page than the last one (another LC_ALL), so they are
# checked, not remembered.
if [ -z "$changed" ] && wine reg query "$linkkey" /v Tahoma 2>/dev/null | grep -q wqy-microhei; then
  exit 0
fi
wine reg add "$fontkey" /v 'Tahoma (TrueType)' /d tahoma.ttf /f >/dev/null 2>&1
wine reg add "$fontkey" /v 'Tahoma Bold (TrueType)' /d tahomabd.ttf /f >/dev/null 2>&1
wine reg add "$fontkey" /v 'WenQuanYi Micro Hei (TrueType)' /d wqy-microhei.ttc /f >/dev/null 2>&1
# "MS Shell Dlg" and the other dialog faces are substitutes of Tahoma in
# Wine, so they take Tahoma's links; bold Tahoma (window captions) is linked
# by its own name.
for face in Tahoma 'Tahoma Bold' 'Microsoft Sans Serif' 'Segoe UI' 'Lucida Sans Unicode'; do
  wine reg add "$linkkey" /v "$face" /t REG_MULTI_SZ /d "$link" /f >/dev/null 2>&1
done
# A running wineserver keeps the font list it read at start-up.
wineserver -k || true
wineserver -w || true
