// Every text of every dialog fits its control in every Latin and Cyrillic
// language: translations run longer than English, and a clipped label is a
// defect a user sees at once. Measured with the dialog's own font.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Language {
    const char* name;
    LANGID id;
};
// CJK glyphs are measured with whatever fallback font the test machine has,
// so those languages are checked on screenshots instead.
const Language kLanguages[] = {{"English", 1033},    {"German", 1031},  {"French", 1036}, {"Spanish", 3082},
                               {"Portuguese", 1046}, {"Italian", 1040}, {"Russian", 1049}};
const int kDialogs[] = {103, 110, 111, 113, 114, 123, 128};

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

std::wstring TextOf(HWND w) {
    wchar_t text[1024] = {};
    GetWindowTextW(w, text, 1024);
    return text;
}

struct Problem {
    std::wstring text;
    int need;
    int have;
};

class TextFits : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW((BinDir() + L"\\Sievo.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
    }

    // The controls whose text does not fit, in one dialog and language.
    static std::vector<Problem> Check(int dialogId, LANGID lang) {
        std::vector<Problem> problems;
        HRSRC res = FindResourceExW(module_, RT_DIALOG, MAKEINTRESOURCEW(dialogId), lang);
        if (!res) return {{L"<missing template>", 0, 0}};
        auto tpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module_, res)));
        HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl, nullptr, Quiet, 0);
        if (!dialog) return {{L"<not created>", 0, 0}};
        HDC dc = GetDC(dialog);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        const int check = GetSystemMetrics(SM_CXMENUCHECK) + 4;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            std::wstring cls = ClassOf(c);
            std::wstring text = TextOf(c);
            if (text.empty() || text == L"...") continue;
            LONG style = GetWindowLongW(c, GWL_STYLE);
            RECT rc{};
            GetClientRect(c, &rc);
            int width = rc.right;
            int height = rc.bottom;
            UINT type = style & 0xF;
            if (_wcsicmp(cls.c_str(), L"Button") == 0) {
                if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
                    width -= check;
                else if (type == BS_GROUPBOX)
                    width -= 2 * tm.tmAveCharWidth;
                else
                    width -= 2 * GetSystemMetrics(SM_CXEDGE) + 4;
            } else if (_wcsicmp(cls.c_str(), L"Static") != 0) {
                continue;
            }
            RECT need{0, 0, width, 0};
            bool oneLine = height < 2 * tm.tmHeight;
            DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | (oneLine ? DT_SINGLELINE : DT_WORDBREAK));
            if (oneLine && need.right > width) problems.push_back({text, need.right, width});
            if (!oneLine && need.bottom > height) problems.push_back({text, need.bottom, height});
        }
        SelectObject(dc, old);
        ReleaseDC(dialog, dc);
        DestroyWindow(dialog);
        return problems;
    }

    static HMODULE module_;
};
HMODULE TextFits::module_ = nullptr;

TEST_F(TextFits, NoTextIsClipped) {
    ASSERT_NE(module_, nullptr);
    for (const Language& lang : kLanguages) {
        for (int id : kDialogs) {
            for (const Problem& p : Check(id, lang.id))
                ADD_FAILURE() << lang.name << " dialog " << id << ": \"" << Narrow(p.text) << "\" needs " << p.need
                              << " px, has " << p.have;
        }
    }
}

}  // namespace
