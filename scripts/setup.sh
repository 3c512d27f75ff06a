#!/usr/bin/env bash
# Installs what building and running Sievo needs on Debian 12, if missing:
# the mingw-w64 compilers, Wine, Xvfb, the GoogleTest sources, the help
# compiler (chmcmd), xdpyinfo for the dialog screenshots, and the dialog
# fonts: Wine's Tahoma (only recommended by the wine package) and WenQuanYi
# Micro Hei, the smallest CJK font, for the Japanese and Chinese dialogs.
set -euo pipefail
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v wine >/dev/null || need+=(wine wine64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v chmcmd >/dev/null || need+=(fp-utils)
command -v xdpyinfo >/dev/null || need+=(x11-utils)
command -v cmake >/dev/null || need+=(cmake)
command -v make >/dev/null || need+=(make)
command -v python3 >/dev/null || need+=(python3)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
[ -f /usr/share/wine/fonts/tahoma.ttf ] || need+=(fonts-wine)
[ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ] || need+=(fonts-wqy-microhei)
dpkg -s mingw-w64-tools >/dev/null 2>&1 || need+=(mingw-w64-tools)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
