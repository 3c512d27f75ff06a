// The progress window of a visible scan: Cancel stops the scan at the next
// module, the module being examined is finished, and the records of modules
// the scan never reached stay as they were. A path wider than the status
// line keeps its start and its file name, and the line never takes a caret.
#include "ui_driver.h"

using namespace ui_test;

namespace {

std::wstring ModuleName(int i) {
    wchar_t name[32];
    swprintf(name, 32, L"m%03d.dll", i);
    return name;
}

TEST(ProgressWindow, CancelStopsAtTheNextModuleAndKeepsUnreachedRecords) {
    constexpr int kModules = 60;
    TestKey key;
    TempDir dir;
    std::vector<SeedRecord> modules;
    for (int i = 0; i < kModules; ++i) {
        SeedRecord r;
        r.path = dir.Copy(PluginPath(L"load_recorder"), L"modules\\" + ModuleName(i));
        r.name = L"Seeded";
        r.clsid = L"{5EED0004-0000-4000-8000-000000000001}";
        Seed(key, r);
        modules.push_back(r);
    }
    key.AddScanPath(dir.Path() + L"\\modules");
    key.SetDword(L"rescanExisting", 1);  // every module is examined again
    Sievo sievo(key.Args());
    HWND progress = sievo.Wait(kProgressCaption);
    ASSERT_NE(progress, nullptr) << "no progress window";
    ClickButton(progress, IDCANCEL);
    ClickButton(progress, IDCANCEL);  // a second press changes nothing
    EXPECT_EQ(sievo.WaitExit(120000), 0u) << "the run completes";

    int reached = 0;
    for (const SeedRecord& r : modules) {
        // load_recorder leaves "<module>.loads" beside itself when loaded:
        // such a module is finished and written, any other one untouched.
        const bool loaded = GetFileAttributesW((r.path + L".loads").c_str()) != INVALID_FILE_ATTRIBUTES;
        reached += loaded;
        EXPECT_EQ(RecordText(key, r, L"FullName"), loaded ? L"Load Recorder" : L"Seeded") << Narrow(r.path);
        EXPECT_EQ(RecordDword(key, r, L"isBad"), loaded ? 0u : TestKey::kMissing) << Narrow(r.path);
    }
    EXPECT_LT(reached, kModules) << "Cancel did not stop the scan";
    EXPECT_EQ(key.InventoryKeys().size(), static_cast<size_t>(kModules)) << "no record was swept";
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

TEST(ProgressWindow, LongPathsKeepTheirFileNameAndTheLineHasNoCaret) {
    TestKey key;
    TempDir dir;
    const std::wstring sub =
        L"Studio Collection With A Long Name\\Reverbs And Delays Of Every Kind\\Tarnwell Test Labs";
    dir.Make(sub);
    for (int i = 0; i < 30; ++i) dir.Copy(PluginPath(L"load_recorder"), sub + L"\\" + ModuleName(i));
    key.AddScanPath(dir.Path());
    Sievo sievo(key.Args());
    HWND progress = sievo.Wait(kProgressCaption);
    ASSERT_NE(progress, nullptr) << "no progress window";
    std::wstring shown;
    for (DWORD waited = 0; waited < kStepMs && shown.empty() && sievo.Running(); waited += 2) {
        std::wstring text = ControlText(progress, 1022);
        if (text.size() > 4 && _wcsicmp(text.c_str() + text.size() - 4, L".dll") == 0) shown = text;
        Sleep(2);
    }
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    EXPECT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(progress, nullptr), &gui));
    ASSERT_FALSE(shown.empty()) << "no module path seen in the status line";
    EXPECT_NE(shown.find(L"..."), std::wstring::npos) << Narrow(shown);
    EXPECT_EQ(_wcsnicmp(shown.c_str(), dir.Path().c_str(), 3), 0) << Narrow(shown);
    EXPECT_EQ(shown.size() - shown.rfind(L'\\'), ModuleName(0).size() + 1) << "the file name whole: " << Narrow(shown);
    EXPECT_EQ(gui.hwndCaret, nullptr) << "a caret in the progress window";
    EXPECT_NE(gui.hwndFocus, GetDlgItem(progress, 1022)) << "the status line has the focus";
    EXPECT_EQ(sievo.WaitExit(120000), 0u);
}

}  // namespace
