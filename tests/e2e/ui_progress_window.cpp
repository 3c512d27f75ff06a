// The progress window of a visible scan: Cancel stops the scan at the next
// module, the module being examined is finished, and the records of modules
// the scan never reached stay as they were.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr int kModules = 60;

std::wstring ModuleName(int i) {
    wchar_t name[32];
    swprintf(name, 32, L"m%03d.dll", i);
    return name;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ProgressWindow : public ::testing::Test {
protected:
    void SetUp() override {
        folder = dir.Make(L"modules");
        for (int i = 0; i < kModules; ++i) {
            SeedRecord r;
            r.path = dir.Copy(PluginPath(L"load_recorder"), L"modules\\" + ModuleName(i));
            r.name = L"Seeded";
            r.clsid = L"{5EED0004-0000-4000-8000-000000000001}";
            Seed(key, r);
            modules.push_back(r);
        }
        key.AddScanPath(folder);
        key.SetDword(L"rescanExisting", 1);  // every module is examined again
    }
    // load_recorder leaves "<module>.loads" beside itself when it is loaded.
    bool Reached(const SeedRecord& r) const { return Exists(r.path + L".loads"); }

    TestKey key;
    TempDir dir;
    std::wstring folder;
    std::vector<SeedRecord> modules;
};

TEST_F(ProgressWindow, WithoutCancelEveryModuleIsExamined) {
    Sievo sievo(key.Args());
    EXPECT_EQ(sievo.WaitExit(120000), 0u);
    for (const SeedRecord& r : modules) {
        EXPECT_TRUE(Reached(r)) << Narrow(r.path);
        EXPECT_EQ(RecordText(key, r, L"FullName"), L"Load Recorder");
    }
}

TEST_F(ProgressWindow, CancelStopsAtTheNextModuleAndKeepsUnreachedRecords) {
    Sievo sievo(key.Args());
    HWND progress = sievo.Wait(kProgressCaption);
    ASSERT_NE(progress, nullptr) << "no progress window";
    ClickButton(progress, IDCANCEL);
    ClickButton(progress, IDCANCEL);  // a second press changes nothing
    EXPECT_EQ(sievo.WaitExit(120000), 0u) << "the run completes";

    int reached = 0;
    for (const SeedRecord& r : modules) {
        if (Reached(r)) {
            ++reached;
            // A module the scan started on is finished and written.
            EXPECT_EQ(RecordText(key, r, L"FullName"), L"Load Recorder") << Narrow(r.path);
            EXPECT_EQ(RecordDword(key, r, L"isBad"), 0u) << Narrow(r.path);
        } else {
            // Never reached: the record is there and untouched.
            EXPECT_EQ(RecordText(key, r, L"FullName"), L"Seeded") << Narrow(r.path);
            EXPECT_EQ(RecordDword(key, r, L"isBad"), TestKey::kMissing) << Narrow(r.path);
        }
    }
    EXPECT_LT(reached, kModules) << "Cancel did not stop the scan";
    EXPECT_EQ(key.InventoryKeys().size(), static_cast<size_t>(kModules)) << "no record was swept";
    EXPECT_EQ(key.Dword(L"SievoGUIVisible"), 0u);
}

}  // namespace

namespace {

// A module path wider than the status line keeps its start and its file
// name, with "..." for the folders between; the read-only line never takes
// the focus, so no caret blinks in it.
TEST(ProgressStatus, LongPathsKeepTheirFileNameAndTheLineHasNoCaret) {
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
    const bool haveGui = GetGUIThreadInfo(GetWindowThreadProcessId(progress, nullptr), &gui) != FALSE;
    ASSERT_FALSE(shown.empty()) << "no module path seen in the status line";
    EXPECT_NE(shown.find(L"..."), std::wstring::npos) << Narrow(shown);
    EXPECT_EQ(_wcsnicmp(shown.c_str(), dir.Path().c_str(), 3), 0) << Narrow(shown);
    const size_t name = shown.rfind(L'\\');
    ASSERT_NE(name, std::wstring::npos) << Narrow(shown);
    EXPECT_EQ(shown.size() - name, ModuleName(0).size() + 1) << "the file name is shown whole: " << Narrow(shown);
    EXPECT_TRUE(haveGui);
    EXPECT_EQ(gui.hwndCaret, nullptr) << "a caret in the progress window";
    EXPECT_NE(gui.hwndFocus, GetDlgItem(progress, 1022)) << "the status line has the focus";
    EXPECT_EQ(sievo.WaitExit(120000), 0u);
}

}  // namespace
