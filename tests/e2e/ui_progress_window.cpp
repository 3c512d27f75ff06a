// The progress window of a visible scan: Cancel stops the scan at the next
// module, the module being examined is finished, and the records of modules
// the scan never reached stay as they were.
#include "ui_driver.h"

using namespace ui_test;

namespace {

TEST(ProgressWindow, CancelStopsAtTheNextModuleAndKeepsUnreachedRecords) {
    constexpr int kModules = 60;
    TestKey key;
    TempDir dir;
    std::vector<SeedRecord> modules;
    for (int i = 0; i < kModules; ++i) {
        SeedRecord r;
        r.path = dir.Copy(PluginPath(L"load_recorder"), L"modules\\m" + std::to_wstring(i) + L".dll");
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

}  // namespace
