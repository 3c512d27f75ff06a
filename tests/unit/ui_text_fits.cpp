// Every text of every dialog is drawn whole in all nine languages. Each
// control draws itself (WM_PRINTCLIENT) once with its text and once without;
// the pixels that differ are the text as drawn. A check box or push button
// is drawn much wider than it is, a static text much taller, so nothing is
// cut, and the text's ink must then lie where the real control has room.
// The dialogs are created with Sievo.exe's own manifest (common controls 6),
// as the program shows them, and in Tahoma: with any other face the numbers
// say nothing about a user's screen.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

struct Language {
    const char* name;
    LANGID id;
};
const Language kLanguages[] = {{"English", 1033}, {"Japanese", 1041}, {"German", 1031},
                               {"French", 1036},  {"Spanish", 3082},  {"Portuguese", 1046},
                               {"Italian", 1040}, {"Chinese", 2052},  {"Russian", 1049}};
const int kDialogs[] = {103, 110, 111, 113, 114, 123, 128};
constexpr char kInstallHint[] =
    "run scripts/setup.sh (Debian packages fonts-wine and fonts-wqy-microhei), then scripts/wine-fonts.sh "
    "on this Wine prefix";

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::wstring TextOf(HWND w) {
    wchar_t text[1024] = {};
    GetWindowTextW(w, text, 1024);
    return text;
}

std::wstring ClassOf(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

// A white 32-bit bitmap that a window or text is drawn into.
class Canvas {
public:
    Canvas(int cx, int cy) : cx_(cx), cy_(cy) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        PatBlt(dc_, 0, 0, cx, cy, WHITENESS);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return dc_; }
    std::vector<DWORD> Pixels() const {
        GdiFlush();
        return std::vector<DWORD>(bits_, bits_ + static_cast<size_t>(cx_) * cy_);
    }

private:
    int cx_, cy_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// Where a control's text lands when the control is cx by cy pixels.
struct Ink {
    bool any = false;
    RECT box{};  // in the control's client coordinates
};

std::vector<DWORD> Draw(HWND control, int cx, int cy) {
    Canvas canvas(cx, cy);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT | PRF_ERASEBKGND);
    return canvas.Pixels();
}

// Where the pixels differ when the control draws `text` instead of `other`
// at cx by cy; the control keeps its own text and size.
Ink TextInk(HWND control, int cx, int cy, const std::wstring& text, const std::wstring& other = L"") {
    RECT old{};
    GetWindowRect(control, &old);
    const std::wstring own = TextOf(control);
    SetWindowPos(control, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(control, text.c_str());
    std::vector<DWORD> with = Draw(control, cx, cy);
    SetWindowTextW(control, other.c_str());
    std::vector<DWORD> without = Draw(control, cx, cy);
    SetWindowTextW(control, own.c_str());
    SetWindowPos(control, nullptr, 0, 0, old.right - old.left, old.bottom - old.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Ink ink;
    ink.box = {cx, cy, -1, -1};
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            size_t i = static_cast<size_t>(y) * cx + x;
            if (with[i] == without[i]) continue;
            ink.any = true;
            ink.box.left = std::min<LONG>(ink.box.left, x);
            ink.box.top = std::min<LONG>(ink.box.top, y);
            ink.box.right = std::max<LONG>(ink.box.right, x + 1);
            ink.box.bottom = std::max<LONG>(ink.box.bottom, y + 1);
        }
    return ink;
}

// Sievo.exe's manifest made current, so that dialogs get the controls the
// program gets.
class ProgramManifest {
public:
    explicit ProgramManifest(const std::wstring& exe) {
        ACTCTXW actctx{};
        actctx.cbSize = sizeof actctx;
        actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actctx.lpSource = exe.c_str();
        actctx.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        context_ = CreateActCtxW(&actctx);
        if (context_ != INVALID_HANDLE_VALUE) ActivateActCtx(context_, &cookie_);
    }
    ~ProgramManifest() {
        if (context_ == INVALID_HANDLE_VALUE) return;
        DeactivateActCtx(0, cookie_);
        ReleaseActCtx(context_);
    }
    ProgramManifest(const ProgramManifest&) = delete;
    ProgramManifest& operator=(const ProgramManifest&) = delete;
    bool Active() const { return context_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

class Dialog {
public:
    Dialog(HMODULE module, int id, LANGID lang) {
        HRSRC res = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), lang);
        if (!res) return;
        auto tpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, res)));
        window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl, nullptr, Quiet, 0);
        // Keyboard cues shown, as after the user pressed Alt: the mnemonics' underlines are drawn too.
        if (window_) SendMessageW(window_, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
    }
    ~Dialog() {
        if (window_) DestroyWindow(window_);
    }
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    HWND Get() const { return window_; }
    HFONT Font() const { return reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)); }

private:
    HWND window_ = nullptr;
};

// Family and style names in the font file that GDI picked for this font
// ("Tahoma Regular"; with tahoma.ttf missing, Wine takes Tahoma Bold).
std::wstring RealFace(HFONT font) {
    Canvas canvas(4, 4);
    SelectObject(canvas.Dc(), font);
    UINT size = GetOutlineTextMetricsW(canvas.Dc(), 0, nullptr);
    if (!size) return L"";
    std::vector<BYTE> buffer(size);
    auto otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (!GetOutlineTextMetricsW(canvas.Dc(), size, otm)) return L"";
    auto name = [&](PSTR offset) {
        return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + reinterpret_cast<size_t>(offset)));
    };
    return name(otm->otmpFamilyName) + L" " + name(otm->otmpStyleName);
}

// The pixels of one character drawn in the font, fallbacks and links included.
std::vector<DWORD> Glyph(HFONT font, wchar_t c) {
    Canvas canvas(40, 40);
    SelectObject(canvas.Dc(), font);
    TextOutW(canvas.Dc(), 4, 4, &c, 1);
    return canvas.Pixels();
}

struct Problem {
    std::wstring control;
    std::wstring text;
    std::string what;
};

// "draws 152 of its 154 px of text, at 0..152, in a 165 px push button"
std::string Drawn(const Ink& real, const Ink& wide, int extent) {
    return "draws " + std::to_string(real.any ? real.box.right - real.box.left : 0) + " of its " +
           std::to_string(wide.box.right - wide.box.left) + " px of text, at " + std::to_string(real.box.left) + ".." +
           std::to_string(real.box.right) + ", in " + std::to_string(extent) + " px";
}

class TextFits : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        exe_ = BinDir() + L"\\Sievo.exe";
        manifest_ = new ProgramManifest(exe_);
        module_ = LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        delete manifest_;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "Sievo.exe not loaded";
        ASSERT_TRUE(manifest_->Active()) << "Sievo.exe's manifest not activated";
    }

    // The controls whose text the control cannot show whole.
    static std::vector<Problem> Check(const Dialog& dialog) {
        std::vector<Problem> problems;
        for (HWND c = GetWindow(dialog.Get(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            std::wstring text = TextOf(c);
            if (text.empty()) continue;
            RECT rc{};
            GetClientRect(c, &rc);
            const int cx = rc.right, cy = rc.bottom;
            const LONG style = GetWindowLongW(c, GWL_STYLE);
            const std::wstring cls = ClassOf(c);
            const UINT type = style & BS_TYPEMASK;
            if (_wcsicmp(cls.c_str(), L"Button") == 0) {
                // Drawn with room to spare, then at its real size: a text whose
                // ink differs in size, or strays out of its place, is clipped.
                const Ink wide = TextInk(c, cx + 400, cy, text);
                const Ink real = TextInk(c, cx, cy, text);
                if (!wide.any) {
                    problems.push_back({L"button", text, "draws nothing of its text"});
                    continue;
                }
                // Wine lays out a text it finds too long differently: it shifts it.
                const bool cut = !real.any || real.box.right - real.box.left != wide.box.right - wide.box.left ||
                                 real.box.bottom - real.box.top != wide.box.bottom - wide.box.top;
                if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
                    // One line, inside the focus rectangle (3 pixels in from the edge).
                    const int margin = 3;
                    if (cut || real.box.left < margin || real.box.right > cx - margin)
                        problems.push_back({L"push button", text, Drawn(real, wide, cx)});
                } else if (type == BS_GROUPBOX) {
                    if (cut || real.box.right > cx - 2) problems.push_back({L"group box", text, Drawn(real, wide, cx)});
                } else {
                    // Box, gap and text, left to right, within the control.
                    if (cut || real.box.right > cx) problems.push_back({L"check box", text, Drawn(real, wide, cx)});
                }
            } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
                // Wrapped at the control's width, every line within its height...
                Ink ink = TextInk(c, cx, cy + 400, text);
                if (ink.any && ink.box.bottom > cy)
                    problems.push_back(
                        {L"static", text,
                         "needs " + std::to_string(ink.box.bottom) + " px of height, has " + std::to_string(cy)});
                // ...and no word wider than the control (drawn text is cut there, not wrapped).
                HDC dc = GetDC(c);
                HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
                RECT need{0, 0, cx, 0};
                DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
                SelectObject(dc, old);
                ReleaseDC(c, dc);
                if (need.right > cx)
                    problems.push_back(
                        {L"static", text,
                         "has a word " + std::to_string(need.right) + " px wide in " + std::to_string(cx) + " px"});
            }
        }
        return problems;
    }

    static std::wstring exe_;
    static ProgramManifest* manifest_;
    static HMODULE module_;
};
std::wstring TextFits::exe_;
ProgramManifest* TextFits::manifest_ = nullptr;
HMODULE TextFits::module_ = nullptr;

// Measured in another face, every number below would be wrong for a user.
TEST_F(TextFits, DialogsAreDrawnInTahomaWithEveryCharacterTheyUse) {
    Dialog probe(module_, 103, 1033);
    ASSERT_NE(probe.Get(), nullptr);
    const std::wstring face = RealFace(probe.Font());
    ASSERT_EQ(face, L"Tahoma Regular") << "the dialog font \"Tahoma\" is drawn as \"" << Narrow(face)
                                       << "\" in this Wine prefix: " << kInstallHint;
    // A character that no font has comes out as the missing-glyph box; any
    // character of a dialog drawn the same way would be an empty box on screen.
    const std::vector<DWORD> missing = Glyph(probe.Font(), 0x0378);
    for (const Language& lang : kLanguages) {
        std::set<wchar_t> chars;
        for (int id : kDialogs) {
            Dialog dialog(module_, id, lang.id);
            ASSERT_NE(dialog.Get(), nullptr) << lang.name << " dialog " << id;
            for (wchar_t c : TextOf(dialog.Get())) chars.insert(c);
            for (HWND c = GetWindow(dialog.Get(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                for (wchar_t ch : TextOf(c)) chars.insert(ch);
        }
        std::string absent;
        for (wchar_t c : chars) {
            if (iswspace(c) || c < 0x21) continue;
            if (Glyph(probe.Font(), c) == missing) absent += Narrow(std::wstring(1, c)) + " ";
        }
        EXPECT_TRUE(absent.empty()) << lang.name << " characters drawn as empty boxes: " << absent << "- "
                                    << kInstallHint;
    }
}

TEST_F(TextFits, NoTextIsClippedInAnyLanguage) {
    Dialog probe(module_, 103, 1033);
    ASSERT_EQ(RealFace(probe.Font()), L"Tahoma Regular") << kInstallHint;
    for (const Language& lang : kLanguages) {
        for (int id : kDialogs) {
            Dialog dialog(module_, id, lang.id);
            ASSERT_NE(dialog.Get(), nullptr) << lang.name << " dialog " << id;
            for (const Problem& p : Check(dialog))
                ADD_FAILURE() << lang.name << " dialog " << id << ", " << Narrow(p.control) << " \"" << Narrow(p.text)
                              << "\" " << p.what;
        }
    }
}

}  // namespace
