// The properties dialog of one plug-in (/VstProps:{clsid}) and of the folder
// defaults (/FolderDefaults): the rules between its controls, what OK and
// Cancel leave in the registry, and which record a class id opens.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr int kName = 1003, kDetails = 1004, kEnable = 1007, kTempo = 1008, kSynth = 1009, kStereo = 1010, kNrpn = 1011,
              kDelay = 1012, kMono = 1013, kSuspendStop = 1015, kInputs = 1044, kServer = 1045, kOk = 64, kCancel = 2;

class PropertiesDialog : public ::testing::Test {
protected:
    // Saving a record gives it the class ids made from its own data, so the
    // host asks for the one stored now.
    std::wstring Args() const { return key.Args() + L"/VstProps:" + RecordText(key, record, L"clsidPlug"); }

    template <class Act>
    void Edit(Act&& act, int button = kOk) {
        InDialog(
            Args(), kPropsCaption, [&](Sievo&, HWND dialog) { act(dialog); }, button);
    }
    DWORD Stored(const wchar_t* name) const { return RecordDword(key, record, name); }
    std::wstring Show(const wchar_t* names) const { return key.Show(RecordSub(record), names); }

    TestKey key;
    SeedRecord record;
};

// Tempo-based effect and synth exclude each other (unchecking one leaves
// the other alone); forcing stereo greys out mono, and the mono box keeps
// its check mark.
TEST_F(PropertiesDialog, ControlsThatExcludeEachOther) {
    Seed(key, record);
    key.SetDword(L"forceMono", 1, RecordSub(record).c_str());
    // Each step toggles one box, then reads (tempo, synth, mono enabled).
    const struct {
        int toggle;
        bool tempo, synth, monoEnabled;
    } steps[] = {{kSynth, false, true, true},  {kTempo, true, false, true},  {kSynth, false, true, true},
                 {kSynth, false, false, true}, {kSynth, false, true, true},  {kStereo, false, true, false},
                 {kStereo, false, true, true}, {kStereo, false, true, false}};
    Edit([&](HWND dialog) {
        EXPECT_FALSE(IsChecked(dialog, kTempo) || IsChecked(dialog, kSynth));
        for (const auto& step : steps) {
            Toggle(dialog, step.toggle);
            EXPECT_EQ(IsChecked(dialog, kTempo), step.tempo);
            EXPECT_EQ(IsChecked(dialog, kSynth), step.synth);
            EXPECT_EQ(IsEnabled(dialog, kMono), step.monoEnabled);
            EXPECT_TRUE(IsChecked(dialog, kMono));
        }
    });
    EXPECT_EQ(Show(L"registerAsSynth registerAsTempoBasedEffect forceStereo forceMono"),
              L"registerAsSynth=1 registerAsTempoBasedEffect=0 forceStereo=1 forceMono=1");
}

// Cancel saves nothing; OK saves the name and the boxes, and only a real
// change stamps the inventory and writes the configuration run's counters.
TEST_F(PropertiesDialog, OkSavesWhatChangedCancelNothing) {
    Seed(key, record);
    auto change = [](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Echo");
        EXPECT_TRUE(IsChecked(dialog, kEnable));
        Type(dialog, kName, L"Echo Renamed");
        for (int box : {kEnable, kNrpn, kDelay, kSuspendStop}) Toggle(dialog, box);
    };
    Edit(change, kCancel);
    EXPECT_EQ(Show(L"FullName registerAsPlug nrpnPassThrough"), L"FullName=Echo registerAsPlug=1 nrpnPassThrough=-");
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));

    Edit([](HWND) {});  // the first save stores the class ids made from the record
    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), L"lastUpdateTime");
    key.SetDword(L"PluginsFound", 5, L"Inventory");
    Edit([](HWND) {});
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime")) << "nothing changed";
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 5u);
    Edit(change);
    EXPECT_EQ(Show(L"FullName registerAsPlug nrpnPassThrough delayCompensation forceSuspendOnStop forceSuspendOnPlay"),
              L"FullName=Echo Renamed registerAsPlug=0 nrpnPassThrough=1 delayCompensation=1 forceSuspendOnStop=1 "
              L"forceSuspendOnPlay=0");
    EXPECT_TRUE(key.Values(L"Inventory").count(L"lastUpdateTime"));
    EXPECT_EQ(key.Dword(L"PluginsFound", L"Inventory"), 0u);
}

// Typed numbers out of range keep the stored one: used inputs within the
// inputs (at least 2 when there are more), the server within its count.
TEST_F(PropertiesDialog, NumbersAcceptOnlyTheAllowedRange) {
    const struct {
        int control;
        DWORD limit, before;  // inputs or "GantryServerCount"; "gantryServerId" as stored (index + 1)
        const wchar_t* typed;
        DWORD after;
    } cases[] = {
        {kInputs, 8, 8, L"1", 8},   {kInputs, 8, 8, L"9", 8}, {kInputs, 8, 8, L"2", 2}, {kInputs, 8, 2, L"8", 8},
        {kInputs, 1, 0, L"1", 1},   {kInputs, 1, 1, L"0", 1}, {kInputs, 0, 3, L"0", 0}, {kInputs, 0, 3, L"1", 3},
        {kServer, 4, 2, L"0", 0},   {kServer, 4, 0, L"4", 4}, {kServer, 4, 2, L"5", 2}, {kServer, 40, 2, L"32", 32},
        {kServer, 40, 2, L"33", 2},
    };
    for (const auto& c : cases) {
        const bool inputs = c.control == kInputs;
        key.SetDword(L"GantryServerCount", inputs ? 4 : c.limit);
        record.numInputs = inputs ? c.limit : 2;
        record.maxUsedInputs = inputs ? c.before : 2;
        record.gantryServerId = inputs ? 0 : c.before;
        Seed(key, record);
        Edit([&](HWND dialog) {
            EXPECT_TRUE(inputs || ControlText(dialog, kServer) == std::to_wstring(c.before)) << "shows what is stored";
            Type(dialog, c.control, c.typed);
        });
        EXPECT_EQ(Stored(inputs ? L"maxUsedInputs" : L"gantryServerId"), c.after)
            << c.control << ": limit " << c.limit << ", typed " << Narrow(c.typed) << ", was " << c.before;
    }
}

// Name, path, version (a version of 1 is left unshown), unique id, outputs,
// synth, wants events, makes events.
TEST_F(PropertiesDialog, DetailsShowWhatTheScanFound) {
    record.uniqueId = static_cast<DWORD>(-5);
    record.numOutputs = 6;
    record.isSynth = 1;
    record.wantEvents = 1;
    for (DWORD version : {2400, 1}) {
        record.vstVersion = version;
        Seed(key, record);
        InDialog(
            Args(), kPropsCaption,
            [&](Sievo& sievo, HWND props) {
                ClickButton(props, kDetails);
                HWND details = sievo.Wait(kDetailsCaption);
                ASSERT_NE(details, nullptr);
                std::wstring shown;
                for (int id : {1005, 1020, 1015, 1014, 1021, 1018, 1017, 1019})
                    shown += (shown.empty() ? L"" : L"|") + ControlText(details, id);
                EXPECT_EQ(shown, L"Echo|C:\\Plugins\\Echo.dll|" + std::wstring(version == 1 ? L"..." : L"2400") +
                                     L"|-5|6|Yes|Yes|No");
                ClickButton(details, kOk);
                EXPECT_TRUE(sievo.WaitGone(details));
                EXPECT_TRUE(IsWindowVisible(props));
            },
            kCancel);
    }
}

// A shell's sub-plug-in shares its shell's FullPath; its options belong to
// its own key, whatever name the user gives it.
TEST_F(PropertiesDialog, ShellSubPluginIsSavedToItsOwnKey) {
    SeedRecord shell = record;
    shell.name = L"Shell";
    shell.clsid = L"{5EED0001-0000-4000-8000-0000000000FF}";
    shell.isShell = shell.isShellRoot = 1;
    Seed(key, shell);
    record.keySuffix = L"*1234 Sub One";
    record.name = L"Sub One";
    record.uniqueId = 1234;
    record.isShell = 1;
    Seed(key, record);
    Edit([](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Sub One");
        Type(dialog, kName, L"Sub One Renamed");
        Toggle(dialog, kStereo);
    });
    // Renamed, it is still found under the key the scan gave it.
    Edit([](HWND dialog) { Toggle(dialog, kNrpn); });
    EXPECT_EQ(Show(L"forceStereo nrpnPassThrough FullName"),
              L"forceStereo=1 nrpnPassThrough=1 FullName=Sub One Renamed");
    EXPECT_EQ(key.Show(RecordSub(shell), L"forceStereo FullName"), L"forceStereo=- FullName=Shell");
    EXPECT_EQ(key.InventoryKeys().size(), 2u) << "no new key";
}

// Plug-in-only controls are disabled; OK writes the Defaults key (not the
// inventory), and the next opening starts from it, stereo greying out mono.
TEST(FolderDefaults, StartValuesAndWhatOkWrites) {
    TestKey key;
    const std::wstring args = key.Args() + L"/FolderDefaults";
    InDialog(
        args, kPropsCaption,
        [](Sievo&, HWND dialog) {
            for (int id : {kDetails, kName, kInputs, kSynth}) EXPECT_FALSE(IsEnabled(dialog, id)) << id;
            EXPECT_TRUE(IsEnabled(dialog, kServer) && IsEnabled(dialog, kTempo));
            EXPECT_TRUE(IsChecked(dialog, kEnable) && IsChecked(dialog, kDelay) && IsChecked(dialog, kMono));
            EXPECT_FALSE(IsChecked(dialog, kStereo));
            EXPECT_EQ(ControlText(dialog, kServer), L"0");
            Toggle(dialog, kStereo);
            Toggle(dialog, kTempo);
        },
        kOk);
    EXPECT_EQ(key.Show(L"Defaults", L"forceStereo registerAsTempoBasedEffect registerAsPlug forceMono"),
              L"forceStereo=1 registerAsTempoBasedEffect=1 registerAsPlug=1 forceMono=1");
    EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));
    InDialog(
        args, kPropsCaption,
        [](Sievo&, HWND dialog) { EXPECT_FALSE(!IsChecked(dialog, kStereo) || IsEnabled(dialog, kMono)); }, kCancel);
}

constexpr wchar_t kEcho[] = L"{5EED0002-0000-4000-8000-000000000001}";
constexpr wchar_t kOther[] = L"{5EED0002-0000-4000-8000-000000000002}";
constexpr wchar_t kHashed[] = L"{5EED0002-0000-4000-8000-0000000000AA}";

struct Seeded {
    const wchar_t* path;  // keys enumerate in name order
    const wchar_t* name;
    const wchar_t* clsid;
    DWORD native;
};

TEST(SelectionList, WhichRecordTheClassIdOpens) {
    const struct {
        const char* what;
        std::vector<Seeded> records;
        const wchar_t* asked;
        int opened;  // index into records; -1: no dialog, the run ends quietly
    } cases[] = {
        {"empty inventory", {}, kEcho, -1},
        {"no match", {{L"C:\\P\\Echo.dll", L"Echo", kEcho, 1}}, kOther, -1},
        {"native first", {{L"C:\\A\\E.dll", L"E 32", kEcho, 0}, {L"C:\\B\\E.dll", L"E 64", kEcho, 1}}, kEcho, 1},
        {"else the last", {{L"C:\\A\\E.dll", L"E one", kEcho, 0}, {L"C:\\B\\E.dll", L"E two", kEcho, 0}}, kEcho, 1},
        {"hashed class id", {{L"C:\\P\\Echo.dll", L"Echo", kOther, 1}}, kHashed, 0},
        // One display name for two plug-ins: the name is found at the first
        // item, which is kept unless a later one is native of the class.
        {"same name, bridged", {{L"C:\\A\\T.dll", L"Twin", kOther, 0}, {L"C:\\B\\T.dll", L"Twin", kEcho, 0}}, kEcho, 0},
        {"same name, native", {{L"C:\\A\\T.dll", L"Twin", kOther, 0}, {L"C:\\B\\T.dll", L"Twin", kEcho, 1}}, kEcho, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestKey key;
        std::vector<SeedRecord> seeded;
        for (const Seeded& s : c.records) {
            SeedRecord r;
            r.path = s.path;
            r.name = s.name;
            r.clsid = s.clsid;
            r.isX64 = s.native;
            Seed(key, r);
            key.SetText(L"clsidPlugMD5", kHashed, RecordSub(r).c_str());
            seeded.push_back(r);
        }
        if (c.opened < 0) {
            EXPECT_EQ(RunSievo(key.Args() + L"/VstProps:" + c.asked, 20000).exitCode, 0u);
            EXPECT_FALSE(key.Values(L"Inventory").count(L"lastUpdateTime"));
            continue;
        }
        // "Do not intercept NRPNs" marks the key the dialog edited.
        InDialog(
            key.Args() + L"/VstProps:" + c.asked, kPropsCaption,
            [&](Sievo&, HWND dialog) {
                EXPECT_EQ(ControlText(dialog, kName), c.records[c.opened].name);
                Toggle(dialog, kNrpn);
            },
            kOk);
        for (size_t i = 0; i < seeded.size(); ++i)
            EXPECT_EQ(RecordDword(key, seeded[i], L"nrpnPassThrough") == 1, static_cast<int>(i) == c.opened) << i;
    }
}

}  // namespace
