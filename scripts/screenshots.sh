#!/usr/bin/env bash
# Screenshots of every dialog of Sievo.exe in English and German, taken under
# Xvfb with Wine's X11 graphics driver (the test prefix uses the null driver,
# which draws nothing), saved as docs/screenshots/<dialog>-<lang>.png.
#
# A small capture program is compiled here: it loads each dialog template
# from Sievo.exe in the wanted language, fills the controls with sample
# content, shows it and copies the window's pixels from the screen.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$root/docs/screenshots
work=$build/shots
prefix=$build/wineprefix-shots
display=${SHOTS_DISPLAY:-:99}
mkdir -p "$out" "$work"

[ -f "$build/bin/Sievo.exe" ] || { echo "no $build/bin/Sievo.exe: build first" >&2; exit 1; }

# ---- the capture program ----
cat > "$work/capture.cpp" <<'EOF'
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <string>

static HMODULE g_sievo;
static LANGID g_lang;

static INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

static void Text(HWND d, int id, const wchar_t* t) { SetDlgItemTextW(d, id, t); }

// A string of Sievo.exe in the shot's language ("Yes"/"No" of the details).
static std::wstring Str(UINT id) {
    HRSRC res = FindResourceExW(g_sievo, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), g_lang);
    if (!res) return L"?";
    const WCHAR* p = (const WCHAR*)LockResource(LoadResource(g_sievo, res));
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    return std::wstring(p + 1, *p);
}

static void Fill(int id, HWND d) {
    switch (id) {
        case 103:
            SendDlgItemMessageW(d, 1002, LB_ADDSTRING, 0, (LPARAM)L"c:\\program files\\vstplugins");
            SendDlgItemMessageW(d, 1002, LB_ADDSTRING, 0, (LPARAM)L"d:\\audio\\vst");
            SendDlgItemMessageW(d, 1002, LB_SETCURSEL, 1, 0);
            CheckDlgButton(d, 1021, BST_CHECKED);
            break;
        case 110:
            Text(d, 1003, L"Echo Delay");
            Text(d, 1044, L"2");
            Text(d, 1045, L"0");
            for (int box : {1007, 1012, 1013, 1008}) CheckDlgButton(d, box, BST_CHECKED);
            EnableWindow(GetDlgItem(d, 1018), FALSE);
            break;
        case 111:
            Text(d, 1005, L"Echo Delay");
            Text(d, 1020, L"C:\\Program Files\\VstPlugins\\Echo Delay.dll");
            Text(d, 1015, L"2400");
            Text(d, 1014, L"1164207156");
            Text(d, 1021, L"2");
            Text(d, 1018, Str(16021).c_str());
            Text(d, 1017, Str(16020).c_str());
            Text(d, 1019, Str(16021).c_str());
            break;
        case 113:
            Text(d, 1022, L"C:\\Program Files\\VstPlugins\\Echo Delay.dll");
            break;
        case 114:
            Text(d, 1001, L"Crashy Synth");
            Text(d, 1002, L"Main Call");
            break;
        case 128:
            Text(d, 1001, L"AnalyseVstPlugins");
            Text(d, 1002, L"Writing VST data");
            break;
    }
}

static int SavePng(HBITMAP bitmap, const wchar_t* path) {
    CLSID png;
    CLSIDFromString(L"{557CF406-1A04-11D3-9A73-0000F81EF32E}", &png);
    Gdiplus::Bitmap image(bitmap, nullptr);
    return image.Save(path, &png, nullptr) == Gdiplus::Ok ? 0 : 1;
}

static int Shoot(int id, const wchar_t* path) {
    HRSRC res = FindResourceExW(g_sievo, RT_DIALOG, MAKEINTRESOURCEW(id), g_lang);
    if (!res) return 2;
    auto tpl = (const DLGTEMPLATE*)LockResource(LoadResource(g_sievo, res));
    HWND d = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl, nullptr, Quiet, 0);
    if (!d) return 3;
    Fill(id, d);
    ShowWindow(d, SW_SHOW);
    SetForegroundWindow(d);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 700;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    }
    RECT r;
    GetWindowRect(d, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bitmap);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    int rc = SavePng(bitmap, path);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DestroyWindow(d);
    return rc;
}

// capture.exe SIEVO_EXE OUT_DIR SUFFIX LANGID
int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 1;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    g_sievo = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    g_lang = (LANGID)_wtoi(argv[4]);
    if (!g_sievo) return 1;
    int failures = 0;
    for (int id : {103, 110, 111, 113, 114, 123, 128}) {
        std::wstring path = std::wstring(argv[2]) + L"\\dialog-" + std::to_wstring(id) + L"-" + argv[3] + L".png";
        failures += Shoot(id, path.c_str()) != 0;
    }
    Gdiplus::GdiplusShutdown(token);
    return failures;
}
EOF
# The capture program looks like the scanner: same manifest (common controls 6).
printf '#include <windows.h>\nCREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "%s"\n' \
  "$root/ui/res/Sievo.manifest" > "$work/capture.rc"
x86_64-w64-mingw32-windres "$work/capture.rc" -O coff -o "$work/capture.res"
x86_64-w64-mingw32-g++-posix -std=c++17 -municode -mwindows -O1 -DUNICODE -D_UNICODE \
  -o "$work/capture.exe" "$work/capture.cpp" "$work/capture.res" \
  -static -lgdiplus -lcomctl32 -lole32 -lgdi32 -luser32

# ---- a display and a prefix that draws real pixels ----
started_xvfb=""
if ! xdpyinfo -display "$display" >/dev/null 2>&1 && [ ! -e "/tmp/.X11-unix/X${display#:}" ]; then
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  started_xvfb=$!
  sleep 1
fi
cleanup() { [ -n "$started_xvfb" ] && kill "$started_xvfb" 2>/dev/null || true; }
trap cleanup EXIT

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=$display
if [ ! -f "$prefix/.sievo-shots-ready" ]; then
  mkdir -p "$prefix"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  # No window manager runs on Xvfb: Wine draws captions and frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -k || true
  wineserver -w || true
  touch "$prefix/.sievo-shots-ready"
fi

sievo=$(winepath -w "$build/bin/Sievo.exe")
dest=$(winepath -w "$out")
wine "$work/capture.exe" "$sievo" "$dest" en 1033
wine "$work/capture.exe" "$sievo" "$dest" de 1031
wineserver -k || true
ls -1 "$out"/*.png
