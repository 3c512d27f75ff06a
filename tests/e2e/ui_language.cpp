// The "Language" value under HKLM\Software\Tarnwell Music Software chooses
// the language of the dialogs, in any letter case; without a known one the
// system's UI language does (Wine takes it from LC_ALL), else English.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr wchar_t kVendorKey[] = L"Software\\Tarnwell Music Software";
constexpr wchar_t kGermanPaths[] = L"Tarnwell VST-Scan: Plug-in-Ordner";

// Sets "Language" (null: removes it) for its lifetime; the test prefix has none.
struct LanguageValue {
    explicit LanguageValue(const wchar_t* value) {
        if (value)
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language", REG_SZ, value,
                            static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    ~LanguageValue() { RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kVendorKey, L"Language"); }
};

// Without a known "Language" value the dialogs follow the system's UI
// language when they exist in it, else English; a known value wins over the
// system. CTest runs this under several locales (Wine takes the system's
// language from LC_ALL when it starts, and its children inherit it).
TEST(Language, WithoutAKnownValueTheSystemLanguageChooses) {
    struct Texts {
        WORD primary;
        const wchar_t* caption;
        const wchar_t* reset;
    };
    const Texts texts[] = {
        {LANG_JAPANESE, L"Tarnwell VST スキャン パス", L"すべてリセット(&E)..."},
        {LANG_GERMAN, kGermanPaths, L"Alle &zurücksetzen..."},
        {LANG_CHINESE, L"Tarnwell VST 扫描路径", L"全部重置(&E)..."},
        {LANG_RUSSIAN, L"Сканер VST Tarnwell: папки", L"&Сбросить всё..."},
    };
    const LANGID system = GetUserDefaultUILanguage();
    Texts expected{LANG_ENGLISH, kPathsCaption, L"R&eset all..."};
    for (const Texts& t : texts)
        if (PRIMARYLANGID(system) == t.primary) expected = t;
    // The German case also brings up the no-folder message from the German
    // string table. The rows are the locales CTest runs this under.
    const std::pair<const wchar_t*, Texts> cases[] = {
        {nullptr, expected}, {L"Klingon", expected}, {L"gErMaN", texts[1]}};  // null: no "Language" value
    TestKey key;
    for (const auto& c : cases) {
        LanguageValue language(c.first);
        SCOPED_TRACE("system language 0x" + std::to_string(system) + ", Language " +
                     (c.first ? Narrow(c.first) : "absent"));
        Sievo sievo(key.Args() + L"/ScanProps");
        HWND dialog = sievo.Wait(c.second.caption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, 62), c.second.reset);
        if (c.first && c.first == cases[2].first) {
            ClickButton(dialog, 64);
            HWND message = sievo.Wait(L"Tarnwell VST-Scan – Fehler");
            ASSERT_NE(message, nullptr) << "the no-folder message in German";
            ClickButton(message, IDOK);
            ASSERT_TRUE(sievo.WaitGone(message));
            dialog = sievo.Wait(kGermanPaths);
        }
        ClickButton(dialog, 63);
        EXPECT_EQ(sievo.WaitExit(), 0u);
    }
}

}  // namespace
