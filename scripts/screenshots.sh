#!/usr/bin/env bash
# Screenshots of every dialog of Sievo.exe in all nine languages, taken under
# Xvfb with Wine's X11 graphics driver (the test prefix uses the null driver,
# which draws nothing) and the dialog fonts of scripts/wine-fonts.sh, saved
# as one contact sheet per language: docs/screenshots/dialogs-<lang>.png.
#
# A small capture program is compiled here: it loads each dialog template
# from Sievo.exe in the wanted language, fills the controls with sample
# content, shows it, copies the window's pixels from the screen and lays the
# seven dialogs out on one sheet.
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
#include <shlwapi.h>
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
        case 113: {
            // As the program shows a path wider than the status line.
            wchar_t path[MAX_PATH] = L"C:\\Program Files\\Common Files\\VST3\\Tarnwell Test Labs\\Studio Collection"
                                     L"\\Reverbs and Delays\\Echo Delay.vst3";
            HWND status = GetDlgItem(d, 1022);
            RECT rc;
            GetClientRect(status, &rc);
            DWORD margins = (DWORD)SendMessageW(status, EM_GETMARGINS, 0, 0);
            HDC dc = GetDC(status);
            HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(status, WM_GETFONT, 0, 0));
            PathCompactPathW(dc, path, rc.right - LOWORD(margins) - HIWORD(margins) - 2);
            SelectObject(dc, old);
            ReleaseDC(status, dc);
            Text(d, 1022, path);
            break;
        }
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

struct Shot {
    int id;
    const wchar_t* title;
    HBITMAP bitmap = nullptr;
    int cx = 0, cy = 0;
};

// Shows one dialog and copies its window's pixels from the screen.
static bool Capture(Shot& shot) {
    HRSRC res = FindResourceExW(g_sievo, RT_DIALOG, MAKEINTRESOURCEW(shot.id), g_lang);
    if (!res) return false;
    auto tpl = (const DLGTEMPLATE*)LockResource(LoadResource(g_sievo, res));
    HWND d = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl, nullptr, Quiet, 0);
    if (!d) return false;
    Fill(shot.id, d);
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
    shot.cx = r.right - r.left;
    shot.cy = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    shot.bitmap = CreateCompatibleBitmap(screen, shot.cx, shot.cy);
    HGDIOBJ old = SelectObject(mem, shot.bitmap);
    BitBlt(mem, 0, 0, shot.cx, shot.cy, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    DestroyWindow(d);
    return true;
}

// All dialogs of one language on one sheet: two columns, each dialog under
// a label with its template id and what it is.
static int Sheet(Shot* shots, int count, const wchar_t* heading, const wchar_t* path) {
    const int pad = 16, label = 22, top = 34;
    int colX[2] = {pad, 0}, colY[2] = {top, top}, colW[2] = {0, 0};
    int col[16], y[16];
    for (int i = 0; i < count; ++i) {
        int c = colY[0] <= colY[1] ? 0 : 1;
        col[i] = c;
        y[i] = colY[c];
        colY[c] += label + shots[i].cy + pad;
        if (shots[i].cx > colW[c]) colW[c] = shots[i].cx;
    }
    colX[1] = pad + colW[0] + pad;
    int w = colX[1] + colW[1] + pad, h = (colY[0] > colY[1] ? colY[0] : colY[1]);
    HDC screen = GetDC(nullptr);
    HDC sheet = CreateCompatibleDC(screen), part = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldSheet = SelectObject(sheet, bitmap);
    RECT all{0, 0, w, h};
    HBRUSH back = CreateSolidBrush(RGB(236, 236, 236));
    FillRect(sheet, &all, back);
    DeleteObject(back);
    HFONT bold = CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"Tahoma");
    HFONT plain = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, L"Tahoma");
    SetBkMode(sheet, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(sheet, bold);
    TextOutW(sheet, pad, 10, heading, (int)wcslen(heading));
    SelectObject(sheet, plain);
    for (int i = 0; i < count; ++i) {
        std::wstring text = std::to_wstring(shots[i].id) + L"  " + shots[i].title;
        TextOutW(sheet, colX[col[i]], y[i] + 4, text.c_str(), (int)text.size());
        HGDIOBJ old = SelectObject(part, shots[i].bitmap);
        BitBlt(sheet, colX[col[i]], y[i] + label, shots[i].cx, shots[i].cy, part, 0, 0, SRCCOPY);
        SelectObject(part, old);
    }
    SelectObject(sheet, oldFont);
    SelectObject(sheet, oldSheet);
    DeleteObject(bold);
    DeleteObject(plain);
    DeleteDC(part);
    DeleteDC(sheet);
    ReleaseDC(nullptr, screen);
    int rc = SavePng(bitmap, path);
    DeleteObject(bitmap);
    return rc;
}

// capture.exe SIEVO_EXE OUT_PNG LANGID HEADING
int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 1;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    g_sievo = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    g_lang = (LANGID)_wtoi(argv[3]);
    if (!g_sievo) return 1;
    Shot shots[] = {{103, L"Scan paths"},         {110, L"Plug-in properties, folder defaults"},
                    {111, L"Plug-in details"},    {114, L"Plug-in load error"},
                    {128, L"Exception report"},   {123, L"Reset confirmation"},
                    {113, L"Progress"}};
    int count = sizeof shots / sizeof shots[0];
    for (Shot& shot : shots)
        if (!Capture(shot)) return 2;
    int rc = Sheet(shots, count, argv[4], argv[2]);
    for (Shot& shot : shots) DeleteObject(shot.bitmap);
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
EOF
# The capture program looks like the scanner: same manifest (common controls 6).
printf '#include <windows.h>\nCREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "%s"\n' \
  "$root/ui/res/Sievo.manifest" > "$work/capture.rc"
x86_64-w64-mingw32-windres "$work/capture.rc" -O coff -o "$work/capture.res"
x86_64-w64-mingw32-g++-posix -std=c++17 -municode -mwindows -O1 -DUNICODE -D_UNICODE \
  -o "$work/capture.exe" "$work/capture.cpp" "$work/capture.res" \
  -static -lgdiplus -lshlwapi -lcomctl32 -lole32 -lgdi32 -luser32

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
"$root/scripts/wine-fonts.sh" "$prefix"

sievo=$(winepath -w "$build/bin/Sievo.exe")
rm -f "$out"/dialog-*.png
while read -r lang id name; do
  wine "$work/capture.exe" "$sievo" "$(winepath -w "$out")\\dialogs-$lang.png" "$id" "$name"
done <<'LANGS'
en 1033 English
ja 1041 Japanese
de 1031 German
fr 1036 French
es 3082 Spanish
pt 1046 Portuguese
it 1040 Italian
zh 2052 Chinese (Simplified)
ru 1049 Russian
LANGS
wineserver -k || true
ls -1 "$out"/*.png
