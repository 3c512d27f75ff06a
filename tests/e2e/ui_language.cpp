// The "Language" value under HKLM\Software\Tarnwell Music Software chooses
// the language of the dialogs, in any letter case; without a known one the
// system's UI language does (Wine takes it from LC_ALL), else English.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr wchar_t kVendorKey[] = L"Software\\Tarnwell Music Software";

// Sets "Language" (null: removes it) for one test and puts back what was there.
class LanguageValue {
public:
    explicit LanguageValue(const wchar_t* value) {
        wchar_t old[64] = {};
        DWORD cb = sizeof old - sizeof(wchar_t);
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language", RRF_RT_REG_SZ, nullptr, old, &cb) ==
               ERROR_SUCCESS;
        old_ = old;
        Set(value);
    }
    ~LanguageValue() { Set(had_ ? old_.c_str() : nullptr); }

private:
    static void Set(const wchar_t* value) {
        if (value)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language", REG_SZ, value,
                            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
        else
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language");
    }
    bool had_ = false;
    std::wstring old_;
};

class Language : public ::testing::Test {
protected:
    void SetUp() override { key.AddScanPath(dir.Path()); }
    TestKey key;
    TempDir dir;
};

TEST_F(Language, GermanInAnyLetterCaseShowsGermanDialogs) {
    for (const wchar_t* value : {L"german", L"GERMAN", L"gErMaN"}) {
        LanguageValue language(value);
        Sievo sievo(key.Args() + L"/ScanProps");
        HWND dialog = sievo.Wait(L"Tarnwell VST-Scan: Plug-in-Ordner");
        ASSERT_NE(dialog, nullptr) << "no German paths dialog for " << Narrow(value);
        EXPECT_EQ(ControlText(dialog, 62), L"Alle &zurücksetzen...");
        EXPECT_EQ(ControlText(dialog, 63), L"Abbre&chen");
        ClickButton(dialog, 62);
        HWND confirm = sievo.Wait(L"Tarnwell VST-Scan: VST-Einstellungen zurücksetzen");
        ASSERT_NE(confirm, nullptr);
        EXPECT_EQ(ControlText(confirm, 1026), L"&Nein");
        ClickButton(confirm, 1026);
        ASSERT_TRUE(sievo.WaitGone(confirm));
        ClickButton(dialog, 63);
        EXPECT_EQ(sievo.WaitExit(), 0u);
    }
}

TEST_F(Language, GermanMessagesComeFromTheGermanStringTable) {
    TestKey empty;
    LanguageValue language(L"German");
    Sievo sievo(empty.Args() + L"/ScanProps");
    HWND dialog = sievo.Wait(L"Tarnwell VST-Scan: Plug-in-Ordner");
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, 64);
    HWND message = sievo.Wait(L"Tarnwell VST-Scan – Fehler");
    ASSERT_NE(message, nullptr) << "the no-folder message in German";
    ClickButton(message, IDOK);
    dialog = sievo.Wait(L"Tarnwell VST-Scan: Plug-in-Ordner");
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, 63);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

// Without a known "Language" value the dialogs follow the system's UI
// language when they exist in it, else English; a known value wins over the
// system. CTest runs this under several locales (Wine takes the system's
// language from LC_ALL when it starts, and its children inherit it).
TEST_F(Language, WithoutAKnownValueTheSystemLanguageChooses) {
    struct Texts {
        WORD primary;
        const wchar_t* caption;
        const wchar_t* reset;
    };
    const Texts texts[] = {
        {LANG_JAPANESE, L"Tarnwell VST スキャン パス", L"すべてリセット(&E)..."},
        {LANG_GERMAN, L"Tarnwell VST-Scan: Plug-in-Ordner", L"Alle &zurücksetzen..."},
        {LANG_FRENCH, L"Analyse VST Tarnwell : dossiers", L"&Réinitialiser tout..."},
        {LANG_SPANISH, L"Análisis VST de Tarnwell: carpetas", L"&Restablecer todo..."},
        {LANG_PORTUGUESE, L"Verificação VST da Tarnwell: pastas", L"Redefinir &tudo..."},
        {LANG_ITALIAN, L"Scansione VST di Tarnwell: cartelle", L"Ripristina &tutto..."},
        {LANG_CHINESE, L"Tarnwell VST 扫描路径", L"全部重置(&E)..."},
        {LANG_RUSSIAN, L"Сканер VST Tarnwell: папки", L"&Сбросить всё..."},
    };
    const LANGID system = GetUserDefaultUILanguage();
    Texts expected{LANG_ENGLISH, kPathsCaption, L"R&eset all..."};
    for (const Texts& t : texts)
        if (PRIMARYLANGID(system) == t.primary) expected = t;
    struct Case {
        const wchar_t* value;  // null: no "Language" value
        Texts texts;
    };
    const Case cases[] = {
        {nullptr, expected}, {L"Klingon", expected}, {L"German", {LANG_GERMAN, texts[1].caption, texts[1].reset}}};
    for (const Case& c : cases) {
        LanguageValue language(c.value);
        Sievo sievo(key.Args() + L"/ScanProps");
        HWND dialog = sievo.Wait(c.texts.caption);
        ASSERT_NE(dialog, nullptr) << "no dialog \"" << Narrow(c.texts.caption) << "\" on a system in language 0x"
                                   << std::hex << system << " with Language " << (c.value ? Narrow(c.value) : "absent");
        EXPECT_EQ(ControlText(dialog, 62), c.texts.reset);
        ClickButton(dialog, 63);
        EXPECT_EQ(sievo.WaitExit(), 0u);
    }
}

}  // namespace
