// The dialogs and strings inside Sievo.exe in all nine languages: every
// string is translated with the same conversions, and every text is drawn
// whole in the font the program shows it in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Language {
    const char* name;
    LANGID id;
};
constexpr LANGID kEnglish = 1033;
const Language kLanguages[] = {{"English", 1033}, {"Japanese", 1041}, {"German", 1031},
                               {"French", 1036},  {"Spanish", 3082},  {"Portuguese", 1046},
                               {"Italian", 1040}, {"Chinese", 2052},  {"Russian", 1049}};
const int kDialogs[] = {103, 110, 111, 113, 114, 123, 128};
const UINT kStrings[] = {16000, 16001, 16002, 16003, 16007, 16008, 16009, 16010, 16011,
                         16012, 16013, 16020, 16021, 16022, 16023, 16024, 16025, 16027};
constexpr char kInstallHint[] =
    "run scripts/setup.sh (Debian packages fonts-wine and fonts-wqy-microhei), then scripts/wine-fonts.sh "
    "on this Wine prefix";

// The box of pixels that differ when the control draws `text` instead of
// nothing at cx by cy; empty (right < left) when none do. Leaves the control
// that size, without text.
RECT TextInk(HWND control, int cx, int cy, const std::wstring& text) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = CreateCompatibleDC(nullptr);
    DWORD* bits = nullptr;
    HGDIOBJ bitmap =
        SelectObject(dc, CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    auto draw = [&](const std::wstring& t) {
        SetWindowTextW(control, t.c_str());
        PatBlt(dc, 0, 0, cx, cy, WHITENESS);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
        return std::vector<DWORD>(bits, bits + static_cast<size_t>(cx) * cy);
    };
    SetWindowPos(control, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::vector<DWORD> with = draw(text), without = draw(L"");
    DeleteObject(SelectObject(dc, bitmap));
    DeleteDC(dc);
    RECT ink = {cx, cy, -1, -1};
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            if (with[static_cast<size_t>(y) * cx + x] != without[static_cast<size_t>(y) * cx + x])
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                       std::max<LONG>(ink.bottom, y + 1)};
    return ink;
}

// Sievo.exe as a data file, with its manifest (common controls 6) made
// current, so that dialogs get the controls the program gets.
HMODULE Program() {
    static HMODULE module = [] {
        const std::wstring exe = BinDir() + L"\\Sievo.exe";
        ACTCTXW actctx{};
        actctx.cbSize = sizeof actctx;
        actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actctx.lpSource = exe.c_str();
        actctx.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        HANDLE context = CreateActCtxW(&actctx);
        ULONG_PTR cookie = 0;
        return context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie)
                   ? LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)
                   : nullptr;
    }();
    return module;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Program(), nullptr) << "Sievo.exe not loaded or its manifest not activated"; }
    void TearDown() override {
        for (HWND w : open_) DestroyWindow(w);
    }

    // The dialog as the program creates it, keyboard cues shown (as after
    // the user pressed Alt: the mnemonics' underlines are drawn too).
    HWND Create(int id, LANGID lang) {
        HRSRC res = FindResourceExW(Program(), RT_DIALOG, MAKEINTRESOURCEW(id), lang);
        if (!res) return nullptr;
        auto tpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(Program(), res)));
        HWND dialog = CreateDialogIndirectParamW(
            GetModuleHandleW(nullptr), tpl, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        if (!dialog) return nullptr;
        open_.push_back(dialog);
        SendMessageW(dialog, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
        return dialog;
    }
    static bool LoadText(UINT id, LANGID lang, std::wstring* out) {
        HRSRC res = FindResourceExW(Program(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
        if (!res) return false;
        auto p = static_cast<const WCHAR*>(LockResource(LoadResource(Program(), res)));
        const WCHAR* end = p + SizeofResource(Program(), res) / sizeof(WCHAR);
        for (UINT i = 0; i < id % 16 && p < end; ++i) p += 1 + *p;
        if (p >= end || !*p) return false;
        *out = std::wstring(p + 1, *p);
        return true;
    }
    static HFONT Font(HWND window) { return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)); }

    std::vector<HWND> open_;
};

// Texts that read the same in a translation: "OK" everywhere, "No" where it
// is the language's own word.
bool SameInTranslation(const std::wstring& s, LANGID lang) {
    if (std::none_of(s.begin(), s.end(), [](wchar_t c) { return iswalpha(c) != 0; }) || s == L"OK" || s == L"&OK")
        return true;
    return (lang == 3082 || lang == 1040) && (s == L"No" || s == L"&No");  // Spanish, Italian
}

// The printf conversions of a format string, in order.
std::wstring Conversions(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == L'%') out += s[++i];
    return out;
}

TEST_F(Dialogs, EveryStringIsTranslatedWithTheSameConversions) {
    for (UINT id : kStrings) {
        std::wstring english;
        ASSERT_TRUE(LoadText(id, kEnglish, &english)) << id;
        for (const Language& lang : kLanguages) {
            std::wstring s;
            ASSERT_TRUE(LoadText(id, lang.id, &s)) << "string " << id << " in " << lang.name;
            if (lang.id != kEnglish && !SameInTranslation(english, lang.id)) {
                EXPECT_NE(s, english) << "string " << id << " untranslated in " << lang.name;
            }
            EXPECT_EQ(Conversions(s), Conversions(english)) << "string " << id << " in " << lang.name;
        }
    }
}

// Each control draws its text once much wider (buttons) or taller (static
// texts) than it is, so nothing is cut, and once at its real size: the ink
// must be the same and lie where the real control has room. Measured in
// another face than Tahoma, the numbers would say nothing about a user's screen.
TEST_F(Dialogs, NoTextIsClippedInAnyLanguage) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ held = SelectObject(screen, Font(Create(103, kEnglish)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    SelectObject(screen, held);
    ReleaseDC(nullptr, screen);
    ASSERT_STREQ(face, L"Tahoma") << kInstallHint;
    for (const Language& lang : kLanguages)
        for (int id : kDialogs) {
            HWND dialog = Create(id, lang.id);
            ASSERT_NE(dialog, nullptr) << lang.name << " dialog " << id;
            for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                wchar_t buffer[1024] = {};
                GetWindowTextW(c, buffer, 1024);
                const std::wstring text = buffer;
                wchar_t cls[64] = {};
                GetClassNameW(c, cls, 64);
                RECT client{};
                GetClientRect(c, &client);
                const int cx = client.right, cy = client.bottom;
                const UINT type = GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK;
                const bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
                bool fits = true;
                if (text.empty()) continue;
                if (!_wcsicmp(cls, L"Button")) {
                    // Wine shifts a text it finds too long, so the ink's size and place tell. Push buttons keep
                    // one line inside the focus rectangle, 3 pixels in from the edge.
                    const RECT wide = TextInk(c, cx + 400, cy, text), real = TextInk(c, cx, cy, text);
                    const int right = push ? cx - 3 : type == BS_GROUPBOX ? cx - 2 : cx;
                    fits = wide.right >= wide.left && real.right - real.left == wide.right - wide.left &&
                           real.bottom - real.top == wide.bottom - wide.top && real.right <= right &&
                           (!push || real.left >= 3);
                } else if (!_wcsicmp(cls, L"Static")) {
                    // Wrapped within its height, and no word wider than the control (drawn text is cut there).
                    HDC dc = GetDC(c);
                    HGDIOBJ old = SelectObject(dc, Font(c));
                    RECT need{0, 0, cx, 0};
                    DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
                    SelectObject(dc, old);
                    ReleaseDC(c, dc);
                    fits = TextInk(c, cx, cy + 400, text).bottom <= cy && need.right <= cx;
                }
                EXPECT_TRUE(fits) << lang.name << " dialog " << id << ": " << Narrow(text) << " in " << cx << "x" << cy;
            }
        }
}

}  // namespace
