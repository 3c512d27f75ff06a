// The properties dialog of one plug-in (/VstProps:) and of the folder
// defaults (/FolderDefaults): the rules between its controls and what OK and
// Cancel leave in the registry.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr wchar_t kClsid[] = L"{5EED0001-0000-4000-8000-000000000001}";

// Control ids of the properties dialog.
enum {
    kName = 1003,
    kDetails = 1004,
    kEnable = 1007,
    kTempo = 1008,
    kSynth = 1009,
    kStereo = 1010,
    kNrpn = 1011,
    kDelay = 1012,
    kMono = 1013,
    kSuspendStop = 1015,
    kJBridge = 1018,
    kInputs = 1044,
    kServer = 1045,
    kOk = 64,
    kCancel = 2
};

class PropertiesDialog : public ::testing::Test {
protected:
    void SetUp() override {
        record.path = L"C:\\Plugins\\Echo.dll";
        record.name = L"Echo";
        record.clsid = kClsid;
    }
    // Saving a record gives it the class ids made from its own data, so the
    // host asks for the one stored now.
    std::wstring Args() const { return key.Args() + L"/VstProps:" + RecordText(key, record, L"clsidPlug"); }

    // Opens the dialog, lets `act` work on it, then clicks `button` and waits
    // for the program to end.
    template <class Act>
    void Edit(Act&& act, int button = kOk) {
        Sievo sievo(Args());
        HWND dialog = sievo.Wait(kPropsCaption);
        ASSERT_NE(dialog, nullptr) << "no properties dialog";
        act(dialog);
        ClickButton(dialog, button);
        ASSERT_EQ(sievo.WaitExit(), 0u);
    }
    DWORD Stored(const wchar_t* name) const { return RecordDword(key, record, name); }
    std::wstring Show(const wchar_t* names) const { return key.Show(RecordSub(record), names); }

    TestKey key;
    SeedRecord record;
};

// Tempo-based effect and synth exclude each other (unchecking one leaves
// the other alone); forcing stereo greys out mono, at once and when opened
// again, and the mono box keeps its check mark.
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
    Edit([](HWND dialog) { EXPECT_FALSE(!IsChecked(dialog, kStereo) || IsEnabled(dialog, kMono)); }, kCancel);
}

TEST_F(PropertiesDialog, CheckBoxesAndNameAreSavedByOk) {
    Seed(key, record);
    Edit([](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Echo");
        EXPECT_TRUE(IsChecked(dialog, kEnable));
        Type(dialog, kName, L"Echo Renamed");
        Toggle(dialog, kEnable);
        Toggle(dialog, kNrpn);
        Toggle(dialog, kDelay);
        Toggle(dialog, kSuspendStop);
    });
    EXPECT_EQ(Show(L"FullName registerAsPlug nrpnPassThrough delayCompensation forceSuspendOnStop forceSuspendOnPlay"),
              L"FullName=Echo Renamed registerAsPlug=0 nrpnPassThrough=1 delayCompensation=1 forceSuspendOnStop=1 "
              L"forceSuspendOnPlay=0");
}

TEST_F(PropertiesDialog, CancelSavesNothing) {
    Seed(key, record);
    Edit(
        [](HWND dialog) {
            Type(dialog, kName, L"Never Saved");
            Toggle(dialog, kEnable);
            Toggle(dialog, kStereo);
        },
        kCancel);
    EXPECT_EQ(Show(L"FullName registerAsPlug forceStereo"), L"FullName=Echo registerAsPlug=1 forceStereo=-");
    EXPECT_FALSE(HasValue(key, L"Inventory", L"lastUpdateTime"));
}

// The host learns of a changed inventory through the metrics a configuration
// run writes only when a dialog changed a record.
TEST_F(PropertiesDialog, OnlyARealChangeMarksTheInventoryChanged) {
    Seed(key, record);
    Edit([](HWND) {});  // the first save stores the class ids made from the record
    for (const wchar_t* name : {L"lastUpdateTime", L"PluginsFound", L"PluginsScanned", L"PluginsDeleted"})
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key.Sub(L"Inventory").c_str(), name);

    Edit([](HWND) {});
    EXPECT_EQ(Stored(L"registerAsPlug"), 1u) << "OK writes the record";
    EXPECT_EQ(key.Show(L"Inventory", L"lastUpdateTime PluginsFound"), L"lastUpdateTime=- PluginsFound=-");
    Edit([](HWND dialog) { Toggle(dialog, kNrpn); });
    EXPECT_TRUE(HasValue(key, L"Inventory", L"lastUpdateTime"));
}

struct InputsCase {
    DWORD numInputs;
    DWORD maxUsedBefore;
    const wchar_t* typed;
    DWORD maxUsedAfter;
};

TEST_F(PropertiesDialog, MaxUsedInputsAcceptsOnlyTheAllowedRange) {
    const InputsCase cases[] = {
        {8, 8, L"1", 8}, {8, 8, L"9", 8}, {8, 8, L"2", 2}, {8, 2, L"8", 8}, {8, 8, L"5", 5},
        {1, 0, L"1", 1}, {1, 1, L"0", 1}, {1, 1, L"2", 1}, {0, 3, L"0", 0}, {0, 3, L"1", 3},
    };
    for (const InputsCase& c : cases) {
        record.numInputs = c.numInputs;
        record.maxUsedInputs = c.maxUsedBefore;
        Seed(key, record);
        Edit([&](HWND dialog) { Type(dialog, kInputs, c.typed); });
        EXPECT_EQ(Stored(L"maxUsedInputs"), c.maxUsedAfter)
            << c.numInputs << " inputs, typed " << Narrow(c.typed) << ", was " << c.maxUsedBefore;
    }
}

struct ServerCase {
    DWORD storedCount;   // "GantryServerCount"
    DWORD storedBefore;  // "gantryServerId" as stored (index + 1)
    const wchar_t* typed;
    DWORD storedAfter;
};

TEST_F(PropertiesDialog, GantryServerNumberWithinTheServerCount) {
    const ServerCase cases[] = {
        {4, 2, L"0", 0}, {4, 2, L"4", 4}, {4, 2, L"5", 2}, {4, 0, L"1", 1}, {40, 2, L"32", 32}, {40, 2, L"33", 2},
    };
    for (const ServerCase& c : cases) {
        key.SetDword(L"GantryServerCount", c.storedCount);
        record.gantryServerId = c.storedBefore;
        Seed(key, record);
        Edit([&](HWND dialog) {
            EXPECT_EQ(ControlText(dialog, kServer), std::to_wstring(c.storedBefore));
            Type(dialog, kServer, c.typed);
        });
        EXPECT_EQ(Stored(L"gantryServerId"), c.storedAfter)
            << "count " << c.storedCount << ", typed " << Narrow(c.typed);
    }
}

class JBridgeKey {
public:
    explicit JBridgeKey(const std::wstring& proxy) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\JBridge", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key, L"Proxy64", 0, REG_SZ, reinterpret_cast<const BYTE*>(proxy.c_str()),
                       static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~JBridgeKey() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\JBridge");
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\JBridge");
    }
};

TEST_F(PropertiesDialog, JBridgeBoxIsEnabledOnlyWhenJBridgeIsInstalled) {
    record.path = L"C:\\Plugins\\Bridged.dll";
    Seed(key, record);
    key.SetDword(L"jBridgeLoader", 1, RecordSub(record).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\JBridge");
    Edit([](HWND dialog) {
        EXPECT_FALSE(IsEnabled(dialog, kJBridge));
        EXPECT_TRUE(IsChecked(dialog, kJBridge)) << "a stored choice is still shown";
    });
    EXPECT_EQ(Stored(L"jBridgeLoader"), 1u) << "and saved as it is";
    {
        TempDir dir;
        JBridgeKey jbridge(dir.Write(L"JBridger64.exe", "MZ"));
        Edit([](HWND dialog) { EXPECT_TRUE(IsEnabled(dialog, kJBridge)); }, kCancel);
    }
    {
        JBridgeKey jbridge(L"C:\\nowhere\\JBridger64.exe");
        Edit([](HWND dialog) { EXPECT_FALSE(IsEnabled(dialog, kJBridge)); }, kCancel);
    }
}

// Name, path, version (a version of 1 is left unshown), unique id, outputs,
// synth, wants events, makes events.
TEST_F(PropertiesDialog, DetailsShowWhatTheScanFound) {
    const struct {
        DWORD vstVersion;
        const wchar_t* shown;
    } cases[] = {{2400, L"Echo|C:\\Plugins\\Echo.dll|2400|-5|6|Yes|Yes|No"},
                 {1, L"Echo|C:\\Plugins\\Echo.dll|...|-5|6|Yes|Yes|No"}};
    record.uniqueId = static_cast<DWORD>(-5);
    record.numOutputs = 6;
    record.isSynth = 1;
    record.wantEvents = 1;
    for (const auto& c : cases) {
        record.vstVersion = c.vstVersion;
        Seed(key, record);
        Sievo sievo(Args());
        HWND props = sievo.Wait(kPropsCaption);
        ASSERT_NE(props, nullptr);
        ClickButton(props, kDetails);
        HWND details = sievo.Wait(kDetailsCaption);
        ASSERT_NE(details, nullptr);
        std::wstring shown;
        for (int id : {1005, 1020, 1015, 1014, 1021, 1018, 1017, 1019})
            shown += (shown.empty() ? L"" : L"|") + ControlText(details, id);
        EXPECT_EQ(shown, c.shown);
        ClickButton(details, kOk);
        EXPECT_TRUE(sievo.WaitGone(details));
        EXPECT_TRUE(IsWindowVisible(props));
        ClickButton(props, kCancel);
        EXPECT_EQ(sievo.WaitExit(), 0u);
    }
}

// A shell's sub-plug-in shares its shell's FullPath; its options belong to
// its own key, whatever name the user gives it.
TEST_F(PropertiesDialog, ShellSubPluginIsSavedToItsOwnKey) {
    SeedRecord shell = record;
    shell.name = L"Shell";
    shell.clsid = L"{5EED0001-0000-4000-8000-0000000000FF}";
    shell.isShell = 1;
    shell.isShellRoot = 1;
    Seed(key, shell);
    SeedRecord sub = record;
    sub.keySuffix = L"*1234 Sub One";
    sub.name = L"Sub One";
    sub.uniqueId = 1234;
    sub.isShell = 1;
    Seed(key, sub);
    record = sub;
    Edit([](HWND dialog) {
        EXPECT_EQ(ControlText(dialog, kName), L"Sub One");
        Type(dialog, kName, L"Sub One Renamed");
        Toggle(dialog, kStereo);
    });
    EXPECT_EQ(key.Show(RecordSub(sub), L"forceStereo FullName"), L"forceStereo=1 FullName=Sub One Renamed");
    EXPECT_EQ(key.Show(RecordSub(shell), L"forceStereo FullName"), L"forceStereo=- FullName=Shell")
        << "the shell's own key is untouched";
    EXPECT_EQ(key.InventoryKeys().size(), 2u) << "no new key";

    // Renamed, it is still found under the key the scan gave it.
    Edit([](HWND dialog) { Toggle(dialog, kNrpn); });
    EXPECT_EQ(RecordDword(key, sub, L"nrpnPassThrough"), 1u);
    EXPECT_EQ(key.InventoryKeys().size(), 2u);
}

class FolderDefaults : public ::testing::Test {
protected:
    TestKey key;
};

TEST_F(FolderDefaults, PlugInOnlyControlsAreDisabledAndOkWritesTheDefaultsKey) {
    ASSERT_FALSE(key.Exists(L"Defaults"));
    Sievo sievo(key.Args() + L"/FolderDefaults");
    HWND dialog = sievo.Wait(kPropsCaption);
    ASSERT_NE(dialog, nullptr);
    for (int id : {kDetails, kName, kInputs, kSynth}) EXPECT_FALSE(IsEnabled(dialog, id)) << id;
    EXPECT_TRUE(IsEnabled(dialog, kServer) && IsEnabled(dialog, kTempo));
    // The start values of the defaults.
    EXPECT_TRUE(IsChecked(dialog, kEnable) && IsChecked(dialog, kDelay) && IsChecked(dialog, kMono));
    EXPECT_FALSE(IsChecked(dialog, kStereo));
    EXPECT_EQ(ControlText(dialog, kServer), L"0");
    Toggle(dialog, kStereo);
    Toggle(dialog, kTempo);
    ClickButton(dialog, kOk);
    ASSERT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(key.Show(L"Defaults", L"forceStereo registerAsTempoBasedEffect registerAsPlug"),
              L"forceStereo=1 registerAsTempoBasedEffect=1 registerAsPlug=1");
    EXPECT_FALSE(HasValue(key, L"Inventory", L"lastUpdateTime")) << "defaults do not change the inventory";

    // The next opening starts from what was saved.
    Sievo again(key.Args() + L"/FolderDefaults");
    dialog = again.Wait(kPropsCaption);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsChecked(dialog, kStereo));
    EXPECT_FALSE(IsEnabled(dialog, kMono));
    ClickButton(dialog, kCancel);
    EXPECT_EQ(again.WaitExit(), 0u);
}

TEST_F(FolderDefaults, CancelWritesNothing) {
    Sievo sievo(key.Args() + L"/FolderDefaults");
    HWND dialog = sievo.Wait(kPropsCaption);
    ASSERT_NE(dialog, nullptr);
    Toggle(dialog, kStereo);
    ClickButton(dialog, kCancel);
    ASSERT_EQ(sievo.WaitExit(), 0u);
    EXPECT_FALSE(key.Exists(L"Defaults"));
}

}  // namespace
