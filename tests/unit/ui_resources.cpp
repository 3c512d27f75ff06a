// The dialogs and strings inside Sievo.exe: every template and string exists
// in all nine languages with the same controls, the English texts are the
// ones the host's users know, nothing English is left in a translation, and
// each translated dialog has unique keyboard accelerators.
#include <gtest/gtest.h>

#include <cwctype>
#include <map>
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
constexpr LANGID kEnglish = 1033;
const Language kLanguages[] = {{"English", 1033}, {"Japanese", 1041}, {"German", 1031},
                               {"French", 1036},  {"Spanish", 3082},  {"Portuguese", 1046},
                               {"Italian", 1040}, {"Chinese", 2052},  {"Russian", 1049}};

struct Control {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring cls;
    std::wstring text;
};

struct Dialog {
    DWORD style = 0;
    int cx = 0, cy = 0;
    std::wstring caption;
    WORD pointSize = 0;
    std::wstring font;
    std::vector<Control> controls;
};

// Reads DLGTEMPLATEEX, the form windres writes for DIALOGEX.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : base_(data), p_(data), end_(data + size) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return static_cast<short>(Word()); }
    std::wstring String() {
        std::wstring s;
        for (WORD c = Word(); c && p_ <= end_; c = Word()) s += static_cast<wchar_t>(c);
        return s;
    }
    // A name or an ordinal ("#n" for an ordinal).
    std::wstring NameOrOrdinal() {
        WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring s(1, static_cast<wchar_t>(first));
        return s + String();
    }
    void AlignDword() {
        while ((p_ - base_) % 4) ++p_;
    }
    void Skip(size_t n) { p_ += n; }
    bool Ok() const { return p_ <= end_; }

private:
    template <class T>
    T Take() {
        T v{};
        if (p_ + sizeof(T) <= end_) memcpy(&v, p_, sizeof(T));
        p_ += sizeof(T);
        return v;
    }
    const BYTE* base_;
    const BYTE* p_;
    const BYTE* end_;
};

std::wstring ClassName(const std::wstring& ordinal) {
    static const std::map<std::wstring, std::wstring> names = {
        {L"#128", L"Button"}, {L"#129", L"Edit"}, {L"#130", L"Static"}, {L"#131", L"ListBox"}};
    auto it = names.find(ordinal);
    return it == names.end() ? ordinal : it->second;
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExW((BinDir() + L"\\Sievo.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "Sievo.exe not loaded"; }

    static bool Find(LPCWSTR type, int id, LANGID lang, const BYTE** data, DWORD* size) {
        HRSRC res = FindResourceExW(module_, type, MAKEINTRESOURCEW(id), lang);
        if (!res) return false;
        HGLOBAL loaded = LoadResource(module_, res);
        *data = static_cast<const BYTE*>(LockResource(loaded));
        *size = SizeofResource(module_, res);
        return *data != nullptr;
    }

    static bool LoadDialog(int id, LANGID lang, Dialog* out) {
        const BYTE* data = nullptr;
        DWORD size = 0;
        if (!Find(RT_DIALOG, id, lang, &data, &size)) return false;
        Reader r(data, size);
        if (r.Word() != 1 || r.Word() != 0xFFFF) return false;  // DLGTEMPLATEEX only
        r.Dword();                                              // help id
        r.Dword();                                              // extended style
        out->style = r.Dword();
        WORD count = r.Word();
        r.Short();
        r.Short();
        out->cx = r.Short();
        out->cy = r.Short();
        r.NameOrOrdinal();  // menu
        r.NameOrOrdinal();  // class
        out->caption = r.String();
        if (out->style & DS_SETFONT) {
            out->pointSize = r.Word();
            r.Word();   // weight
            r.Skip(2);  // italic, charset
            out->font = r.String();
        }
        for (WORD i = 0; i < count; ++i) {
            r.AlignDword();
            Control c;
            r.Dword();  // help id
            r.Dword();  // extended style
            c.style = r.Dword();
            c.x = r.Short();
            c.y = r.Short();
            c.cx = r.Short();
            c.cy = r.Short();
            c.id = r.Dword();
            c.cls = ClassName(r.NameOrOrdinal());
            c.text = r.NameOrOrdinal();
            WORD extra = r.Word();
            r.Skip(extra);
            out->controls.push_back(c);
        }
        return r.Ok();
    }

    static bool LoadString(UINT id, LANGID lang, std::wstring* out) {
        const BYTE* data = nullptr;
        DWORD size = 0;
        if (!Find(RT_STRING, static_cast<int>(id / 16 + 1), lang, &data, &size)) return false;
        const WCHAR* p = reinterpret_cast<const WCHAR*>(data);
        const WCHAR* end = p + size / sizeof(WCHAR);
        for (UINT i = 0; i < id % 16 && p < end; ++i) p += 1 + *p;
        if (p >= end || !*p) return false;
        *out = std::wstring(p + 1, *p);
        return true;
    }

    static HMODULE module_;
};
HMODULE Resources::module_ = nullptr;

const int kDialogs[] = {103, 110, 111, 113, 114, 123, 128};
const UINT kStrings[] = {16000, 16001, 16002, 16003, 16007, 16008, 16009, 16010, 16011,
                         16012, 16013, 16020, 16021, 16022, 16023, 16024, 16025, 16027};

struct Size {
    int id, cx, cy;
};

TEST_F(Resources, EveryDialogHasItsSizeFontAndFrameInEveryLanguage) {
    const Size sizes[] = {{103, 240, 166}, {110, 286, 170}, {111, 295, 187}, {113, 331, 33}, {123, 258, 86}};
    for (const Language& lang : kLanguages) {
        for (int id : kDialogs) {
            Dialog d;
            ASSERT_TRUE(LoadDialog(id, lang.id, &d)) << "dialog " << id << " in " << lang.name;
            EXPECT_EQ(d.font, L"Tahoma") << id << " " << lang.name;
            EXPECT_EQ(d.pointSize, 8) << id << " " << lang.name;
            EXPECT_TRUE(d.style & WS_POPUP) << id;
            EXPECT_EQ(d.style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << id;
            EXPECT_TRUE(d.style & DS_CENTER) << id;
            EXPECT_FALSE(d.style & WS_VISIBLE) << id;
            // The load-error dialog is the only one with a close box.
            EXPECT_EQ((d.style & WS_SYSMENU) != 0, id == 114) << id << " " << lang.name;
            EXPECT_EQ((d.style & DS_MODALFRAME) != 0, id != 110) << id << " " << lang.name;
            for (const Size& s : sizes) {
                if (s.id != id) continue;
                EXPECT_EQ(d.cx, s.cx) << id << " " << lang.name;
                EXPECT_EQ(d.cy, s.cy) << id << " " << lang.name;
            }
            EXPECT_FALSE(d.caption.empty());
        }
    }
}

TEST_F(Resources, TranslationsHaveTheSameControlsInTheSamePlaces) {
    for (int id : kDialogs) {
        Dialog english;
        ASSERT_TRUE(LoadDialog(id, kEnglish, &english));
        for (const Language& lang : kLanguages) {
            Dialog d;
            ASSERT_TRUE(LoadDialog(id, lang.id, &d)) << id << " " << lang.name;
            EXPECT_EQ(d.cx, english.cx);
            EXPECT_EQ(d.cy, english.cy);
            EXPECT_EQ(d.style, english.style) << id << " " << lang.name;
            ASSERT_EQ(d.controls.size(), english.controls.size()) << id << " " << lang.name;
            for (size_t i = 0; i < d.controls.size(); ++i) {
                const Control& a = english.controls[i];
                const Control& b = d.controls[i];
                EXPECT_EQ(b.id, a.id) << id << " " << lang.name << " control " << i;
                EXPECT_EQ(b.cls, a.cls) << id << " " << lang.name << " control " << i;
                EXPECT_EQ(b.style, a.style) << id << " " << lang.name << " control " << i;
                EXPECT_TRUE(b.x == a.x && b.y == a.y && b.cx == a.cx && b.cy == a.cy)
                    << id << " " << lang.name << " control " << i;
            }
        }
    }
}

// Control ids and kinds the program's code relies on.
TEST_F(Resources, ControlsTheCodeUses) {
    struct Expected {
        int dialog;
        DWORD id;
        const wchar_t* cls;
        DWORD kind;  // BS_* type for buttons, 0 otherwise
    };
    // clang-format off
    const Expected expected[] = {
        {103, 1002, L"ListBox", 0},          {103, 1003, L"Button", BS_PUSHBUTTON},
        {103, 1004, L"Button", BS_PUSHBUTTON}, {103, 60, L"Button", BS_PUSHBUTTON},
        {103, 62, L"Button", BS_PUSHBUTTON},   {103, 1021, L"Button", BS_AUTOCHECKBOX},
        {103, 1026, L"Button", BS_AUTOCHECKBOX}, {103, 64, L"Button", BS_DEFPUSHBUTTON},
        {103, 63, L"Button", BS_PUSHBUTTON},   {110, 1003, L"Edit", 0},
        {110, 1004, L"Button", BS_PUSHBUTTON}, {110, 1044, L"Edit", 0},
        {110, 1045, L"Edit", 0},               {110, 64, L"Button", BS_DEFPUSHBUTTON},
        {110, 2, L"Button", BS_PUSHBUTTON},    {111, 1005, L"Edit", 0},
        {111, 1020, L"Edit", 0},               {111, 1015, L"Static", 0},
        {111, 1014, L"Static", 0},             {111, 1021, L"Static", 0},
        {111, 1018, L"Static", 0},             {111, 1017, L"Static", 0},
        {111, 1019, L"Static", 0},             {111, 64, L"Button", BS_DEFPUSHBUTTON},
        {113, 1022, L"Edit", 0},               {113, 2, L"Button", BS_DEFPUSHBUTTON},
        {114, 1001, L"Edit", 0},               {114, 1002, L"Edit", 0},
        {114, 64, L"Button", BS_PUSHBUTTON},   {114, 2, L"Button", BS_DEFPUSHBUTTON},
        {123, 64, L"Button", BS_DEFPUSHBUTTON}, {123, 1026, L"Button", BS_PUSHBUTTON},
        {128, 1001, L"Edit", 0},               {128, 1002, L"Edit", 0},
        {128, 64, L"Button", BS_DEFPUSHBUTTON},
    };
    // clang-format on
    for (int box : {1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018}) {
        Dialog d;
        ASSERT_TRUE(LoadDialog(110, kEnglish, &d));
        bool found = false;
        for (const Control& c : d.controls)
            if (c.id == static_cast<DWORD>(box)) found = c.cls == L"Button" && (c.style & 0xF) == BS_AUTOCHECKBOX;
        EXPECT_TRUE(found) << "check box " << box;
    }
    for (const Expected& e : expected) {
        Dialog d;
        ASSERT_TRUE(LoadDialog(e.dialog, kEnglish, &d));
        const Control* found = nullptr;
        for (const Control& c : d.controls)
            if (c.id == e.id) found = &c;
        ASSERT_NE(found, nullptr) << e.dialog << " has no control " << e.id;
        EXPECT_EQ(found->cls, e.cls) << e.dialog << "/" << e.id;
        if (e.kind || found->cls == L"Button") {
            EXPECT_EQ(found->style & 0xF, e.kind) << e.dialog << "/" << e.id;
        }
    }
    // Dialogs without a Cancel button have nothing that Escape would press.
    for (int id : {103, 111, 123}) {
        Dialog d;
        ASSERT_TRUE(LoadDialog(id, kEnglish, &d));
        for (const Control& c : d.controls) EXPECT_NE(c.id, static_cast<DWORD>(IDCANCEL)) << id;
    }
    // The folder list keeps the order of the folders; the edits take digits.
    Dialog paths, props;
    ASSERT_TRUE(LoadDialog(103, kEnglish, &paths));
    ASSERT_TRUE(LoadDialog(110, kEnglish, &props));
    for (const Control& c : paths.controls)
        if (c.id == 1002) {
            EXPECT_FALSE(c.style & LBS_SORT);
            EXPECT_TRUE(c.style & LBS_NOTIFY);
            EXPECT_TRUE(c.style & WS_VSCROLL);
        }
    for (const Control& c : props.controls)
        if (c.id == 1044 || c.id == 1045) {
            EXPECT_TRUE(c.style & ES_NUMBER) << c.id;
        }
}

// The texts of every control of an English dialog, in template order.
std::vector<std::wstring> Texts(const Dialog& d) {
    std::vector<std::wstring> texts;
    for (const Control& c : d.controls) texts.push_back(c.text);
    return texts;
}

TEST_F(Resources, EnglishTextsAreExact) {
    struct Expected {
        int dialog;
        const wchar_t* caption;
        std::vector<std::wstring> texts;  // every control with text, in order
    };
    const Expected expected[] = {
        {103,
         L"Tarnwell VST Scan Paths",
         {L"Please select the folder(s) in which VST plug-ins on your system are stored. Scan will search these "
          L"folders and all their subfolders.",
          L"&Add...", L"&Remove", L"Folder &defaults...", L"R&eset all...", L" Options ", L"Re-scan &failed plug-ins",
          L"Re-scan e&xisting plug-ins", L"&OK", L"&Cancel"}},
        {110,
         L"VST Plug-In Properties",
         {L"&Details...", L" Plugin options ", L"Enable as &plug-in", L"Max used inputs:", L"Configure as s&ynth",
          L"Gantry Server:", L"Configure as &tempo-based effect", L"Load using &jBridge wrapper",
          L"Force &stereo operation", L"Enable &mono processing", L"Do not intercept N&RPNs",
          L"Translate &Bank/Program Changes", L"Enable delay &compensation", L"&Always suspend on stop",
          L"Serialize Host Access", L"&Always suspend on play", L"OK", L"Cancel"}},
        {111,
         L"Tarnwell VST Scan: VST Plug-in Properties",
         {L" Properties ", L"Name:", L"Full path:", L"VST version: ", L"...", L"Unique ID:", L"Outputs:", L"Is Synth:",
          L"Supports Event Input:", L"Supports Event Output:", L"OK"}},
        {113, L"Scanning...", {L"Cancel"}},
        {114,
         L"Tarnwell VST Scan: VST Plug-in Load Error",
         {L"The following plug-in caused an error during load:", L"The failure point was reported as:",
          L"Likely causes for this error are:", L"* The plug-in is not installed correctly.",
          L"* Your computer is low on memory or other resources.",
          L"* There is a problem with the plug-in's copy protection.",
          L"* The plug-in is incompatible with the application.",
          L"We recommend you disable this plug-in, as it is not functioning properly.",
          L"You may choose to ignore this error and enable the plug-in, but it may cause your system to become "
          L"unstable.",
          L"Enable Plug-in (Risky)", L"Disable Plug-in"}},
        {123,
         L"Tarnwell VST Scan:  Reset VST Settings",
         {L"This will reset configuration settings for all your VST plug-ins to defaults.  VST plug-ins will be "
          L"unavailable until a VST Scan is performed.  Any custom configuration settings will be lost.",
          L"Are you sure you want to do this?", L"&Yes", L"&No"}},
        {128,
         L"Tarnwell VST Scan: Exception",
         {L"Sievo.exe caused an exception while attempting to perform the function:-",
          L"The failure point was reported as follows:-",
          L"Scan has trapped this error, and will attempt to continue normally. However, it may have become "
          L"unstable - if this is the case, reboot your system and re-run the VST Scan.",
          L"If this error keeps coming back, please contact Tarnwell support and tell them what is shown above.",
          L"OK"}},
    };
    for (const Expected& e : expected) {
        Dialog d;
        ASSERT_TRUE(LoadDialog(e.dialog, kEnglish, &d));
        EXPECT_EQ(d.caption, e.caption);
        std::vector<std::wstring> texts;
        for (const std::wstring& t : Texts(d))
            if (!t.empty()) texts.push_back(t);
        EXPECT_EQ(texts, e.texts) << "dialog " << e.dialog;
    }
}

TEST_F(Resources, EnglishStringsAreExact) {
    const std::map<UINT, std::wstring> expected = {
        {16000,
         L"Couldn't find any VST plug-in paths.  Tarnwell VST Scan needs at least one plug-in path in order "
         L"to continue."},
        {16001, L"Tarnwell VST Scan Error"},
        {16002, L"Building plugin list..."},
        {16003, L"Analyzing plugins..."},
        {16007, L"Choose a folder..."},
        {16008, L"VST Plug-in"},
        {16009, L"Enabled"},
        {16010, L"Install As Synth"},
        {16011, L"New!"},
        {16012, L"Y"},
        {16013, L"A VST scan is already running.\r\nPlease wait for it to complete before starting another scan."},
        {16020, L"Yes"},
        {16021, L"No"},
        {16023, L"Scan started."},
        {16024, L"Searching for plugins..."},
        {16025, L"Scanning %s..."},
    };
    for (const auto& [id, text] : expected) {
        std::wstring s;
        ASSERT_TRUE(LoadString(id, kEnglish, &s)) << id;
        EXPECT_EQ(s, text) << id;
    }
}

// The printf conversions of a format string, in order.
std::wstring Conversions(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == L'%') {
            out += s[i + 1];
            ++i;
        }
    return out;
}

bool HasLetters(const std::wstring& s) {
    for (wchar_t c : s)
        if (iswalpha(c)) return true;
    return false;
}

// Texts that read the same in a translation: "OK" everywhere, "No" where it
// is the language's own word.
bool SameInTranslation(const std::wstring& s, const Language& lang) {
    if (!HasLetters(s) || s == L"OK" || s == L"&OK") return true;
    bool saysNo = lang.id == 3082 || lang.id == 1040;  // Spanish, Italian
    return saysNo && (s == L"No" || s == L"&No");
}

TEST_F(Resources, EveryStringIsTranslatedWithTheSameConversions) {
    for (UINT id : kStrings) {
        std::wstring english;
        ASSERT_TRUE(LoadString(id, kEnglish, &english)) << id;
        for (const Language& lang : kLanguages) {
            if (lang.id == kEnglish) continue;
            std::wstring s;
            ASSERT_TRUE(LoadString(id, lang.id, &s)) << "string " << id << " in " << lang.name;
            if (!SameInTranslation(english, lang)) {
                EXPECT_NE(s, english) << "string " << id << " untranslated in " << lang.name;
            }
            EXPECT_EQ(Conversions(s), Conversions(english)) << "string " << id << " in " << lang.name;
        }
    }
}

TEST_F(Resources, EveryDialogTextIsTranslated) {
    for (int id : kDialogs) {
        Dialog english;
        ASSERT_TRUE(LoadDialog(id, kEnglish, &english));
        for (const Language& lang : kLanguages) {
            if (lang.id == kEnglish) continue;
            Dialog d;
            ASSERT_TRUE(LoadDialog(id, lang.id, &d));
            EXPECT_NE(d.caption, english.caption) << id << " caption in " << lang.name;
            for (size_t i = 0; i < d.controls.size() && i < english.controls.size(); ++i) {
                const std::wstring& en = english.controls[i].text;
                const std::wstring& tr = d.controls[i].text;
                EXPECT_EQ(tr.empty(), en.empty()) << id << " control " << i << " in " << lang.name;
                if (!SameInTranslation(en, lang)) {
                    EXPECT_NE(tr, en) << id << " control " << i << " untranslated in " << lang.name;
                }
            }
        }
    }
}

// The accelerator of a control text: the character after a single "&".
wchar_t Accelerator(const std::wstring& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != L'&') continue;
        if (s[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(towlower(s[i + 1]));
    }
    return 0;
}

TEST_F(Resources, TranslatedDialogsHaveUniqueAccelerators) {
    for (int id : kDialogs) {
        for (const Language& lang : kLanguages) {
            if (lang.id == kEnglish) continue;  // the English texts are given as they are
            Dialog d;
            ASSERT_TRUE(LoadDialog(id, lang.id, &d));
            std::map<wchar_t, std::wstring> seen;
            for (const Control& c : d.controls) {
                wchar_t key = Accelerator(c.text);
                if (!key) continue;
                auto [it, fresh] = seen.emplace(key, c.text);
                EXPECT_TRUE(fresh) << id << " in " << lang.name << ": \"" << Narrow(c.text) << "\" and \""
                                   << Narrow(it->second) << "\" share an accelerator";
            }
        }
    }
}

TEST_F(Resources, VersionAndManifestAreEmbedded) {
    const BYTE* data = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(Find(RT_MANIFEST, 1, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &data, &size));
    std::string manifest(reinterpret_cast<const char*>(data), size);
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);

    std::wstring exe = BinDir() + L"\\Sievo.exe";
    DWORD handle = 0;
    DWORD bytes = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(bytes, 0u);
    std::vector<BYTE> info(bytes);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, bytes, info.data()));
    wchar_t* product = nullptr;
    UINT chars = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&product), &chars));
    EXPECT_STREQ(product, L"Sievo.exe");
}

}  // namespace
