// Plug-in folders as users really have them: non-Latin folder names, paths
// past the registry's key-name limit, links back to a parent folder, ".VST3"
// in capitals, UTF-16-only VST 3 classes and UTF-8 names, a runtime DLL
// beside the plug-in. Each case runs in process and sandboxed (what a host
// gets in background mode), with good plug-ins beside the awkward ones whose
// records must come out complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

enum class Mode { InProcess, Sandboxed };

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class AwkwardModules : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        DeleteLogs();
        if (GetParam() == Mode::Sandboxed) key.SetDword(L"scanInSandbox", 1);
    }

    RunResult Scan() {
        std::wstring flags = GetParam() == Mode::Sandboxed ? L"/Background/Log" : L"/Log";
        return RunSievo(key.Args() + flags, 180000);
    }
    void ScanCleanly() {
        RunResult r = Scan();
        ASSERT_FALSE(r.timedOut) << "a dialog or a hang held the scan";
        EXPECT_EQ(r.exitCode, 0u);
    }
    // A part of a line of the scan's or of any sandboxed child's log.
    bool Logged(const std::wstring& part) const {
        std::vector<std::wstring> lines = ReadLogLines(MainLogPath());
        std::vector<std::wstring> children = ReadLogLines(SandboxLogPath());
        lines.insert(lines.end(), children.begin(), children.end());
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::wstring& l) { return l.find(part) != std::wstring::npos; });
    }

    // What the scan logged about one module: the lines after its "---- n:"
    // header up to the next header (other test programs share the log file,
    // but not the module's path).
    std::vector<std::wstring> Block(const std::wstring& module) const {
        std::vector<std::wstring> lines = ReadLogLines(MainLogPath()), block;
        bool inside = false;
        for (const std::wstring& l : lines) {
            bool header = l.rfind(L"SIEVO: ---- ", 0) == 0 && l.size() > 5 && l.substr(l.size() - 5) == L" ----";
            if (header)
                inside = l.size() > module.size() + 5 &&
                         SamePath(l.substr(l.size() - 5 - module.size(), module.size()), module);
            else if (inside)
                block.push_back(l);
        }
        return block;
    }
    // Records whose key lies under a folder: a module that ended the process
    // left only its crash marker, no path.
    std::vector<std::wstring> RecordsUnder(const std::wstring& folder) const {
        std::wstring prefix = TestKey::RecordKey(folder) + L"/";
        std::vector<std::wstring> out;
        for (const std::wstring& name : key.InventoryKeys())
            if (SamePath(name.substr(0, prefix.size()), prefix)) out.push_back(L"Inventory\\" + name);
        return out;
    }
    // The one record of an ordinary module, checked to be a complete plug-in record.
    void ExpectPlugin(const std::wstring& module, const wchar_t* kind, const std::wstring& name) const {
        std::vector<std::wstring> found = key.RecordsOf(module);
        ASSERT_EQ(found.size(), 1u) << Narrow(module);
        EXPECT_EQ(key.Show(found[0], (std::wstring(kind) + L" isBad touch FullName").c_str()),
                  std::wstring(kind) + L"=1 isBad=0 touch=1 FullName=" + name)
            << Narrow(module);
        EXPECT_LE(found[0].size(), 255u + 10);
    }
    // What the module's one record is.
    std::wstring Kind(const std::wstring& module) const {
        std::vector<std::wstring> found = key.RecordsOf(module);
        return found.size() == 1 ? key.Show(found[0], L"isVst3 isBad touch")
                                 : L"records: " + std::to_wstring(found.size());
    }
    // The members of a module by name (a VST 3 module's classes, a shell's plug-ins).
    std::map<std::wstring, std::wstring> Members(const std::wstring& module) const {
        std::map<std::wstring, std::wstring> byName;
        for (const std::wstring& r : key.RecordsOf(module))
            if (r.find(L'*') != std::wstring::npos) byName[key.Text(L"FullName", r.c_str())] = r;
        return byName;
    }

    TestKey key;
    TempDir dir;
};

TEST_P(AwkwardModules, FoldersNamedInAnyScriptAreScanned) {
    std::wstring root = dir.Make(L"plugins");
    key.AddScanPath(root);
    const std::wstring folders[] = {L"плагины", L"插件 音频", L"fx \U0001F39B"};  // the last outside the BMP
    std::vector<std::wstring> modules;
    for (const std::wstring& f : folders)
        modules.push_back(dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\" + f + L"\\Écho.dll"));
    std::wstring plain = dir.Copy(PluginPath(L"no_editor_7_params"), L"plugins\\latin\\Seven.dll");
    ScanCleanly();

    for (const std::wstring& m : modules) ExpectPlugin(m, L"isVst", L"Echo Chamber");
    ExpectPlugin(plain, L"isVst", L"Seven Knobs");
}

TEST_P(AwkwardModules, PathsPastTheKeyNameLimitKeepTheirRecordsAndCrashMarks) {
    // Folders deep enough that module paths come to about 250, 258 and 300.
    auto folderFor = [&](size_t total, const wchar_t* file, const wchar_t* tag) {
        std::wstring path = dir.Path() + L"\\" + tag;
        CreateDirectoryW(path.c_str(), nullptr);
        while (path.size() + 1 + wcslen(file) < total) {
            size_t room = total - path.size() - 2 - wcslen(file);
            path += L"\\" + std::wstring(std::min<size_t>(room, 90), L'd');
            CreateDirectoryW(path.c_str(), nullptr);
        }
        std::wstring module = path + L"\\" + file;
        CopyFileW(
            (wcsstr(file, L"Killer") ? PluginPath(L"exit_in_dllmain") : PluginPath(L"effect_with_editor")).c_str(),
            module.c_str(), FALSE);
        key.AddScanPath(dir.Path() + L"\\" + tag);
        return module;
    };
    std::wstring at250 = folderFor(250, L"Echo.dll", L"a");
    std::wstring at258 = folderFor(258, L"Echo.dll", L"b");
    std::wstring at300 = folderFor(300, L"Echo.dll", L"c");
    std::wstring killer = folderFor(300, L"Killer.dll", L"d");  // walked last
    ASSERT_EQ(GetFileAttributesW(killer.c_str()) != INVALID_FILE_ATTRIBUTES, true);
    ASSERT_GE(at258.size(), 256u);
    ASSERT_GE(at300.size(), 299u);

    Scan();  // in process the killer ends the scan; the others were recorded before it
    auto marked = RecordsUnder(dir.Path() + L"\\d");
    ASSERT_EQ(marked.size(), 1u) << "the crash marker has a key to live in";
    EXPECT_EQ(key.Dword(L"isBad", marked[0].c_str()), 1u);

    DeleteLogs();
    ScanCleanly();
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    for (const std::wstring& m : {at250, at258, at300}) ExpectPlugin(m, L"isVst", L"Echo Chamber");
    EXPECT_TRUE(SamePath(key.RecordsOf(at250)[0], TestKey::Record(at250))) << "a key that fits is the path itself";
    marked = RecordsUnder(dir.Path() + L"\\d");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(key.Dword(L"isBad", marked[0].c_str()), 1u);
    EXPECT_LE(marked[0].size(), 255u + 10);
    EXPECT_TRUE(Logged(L"record key shortened to"));

    // The inventory tool lists them like any other record.
    std::string out, err;
    ASSERT_EQ(
        RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:" + key.Path() + L"\" /Format:csv", &out, &err)
            .exitCode,
        0u)
        << err;
    size_t rows = 0;
    for (size_t at = out.find("Echo Chamber"); at != std::string::npos; at = out.find("Echo Chamber", at + 1)) ++rows;
    EXPECT_EQ(rows, 3u) << out;

    // The second scan found the shortened keys of the first again and removed none.
    EXPECT_EQ(key.Dword(L"PluginsDeleted", L"Inventory"), 0u);
    EXPECT_EQ(key.InventoryKeys().size(), 4u);
}

TEST_P(AwkwardModules, AFolderLinkBackToAParentIsWalkedOnce) {
    std::wstring root = dir.Make(L"plugins");
    std::wstring effect = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\a\\Echo.dll");
    std::wstring seven = dir.Copy(PluginPath(L"no_editor_7_params"), L"plugins\\Seven.dll");
    ASSERT_TRUE(MakeFolderLink(root + L"\\a\\loop", root));
    key.AddScanPath(root);
    ScanCleanly();

    ExpectPlugin(effect, L"isVst", L"Echo Chamber");
    ExpectPlugin(seven, L"isVst", L"Seven Knobs");
    EXPECT_EQ(key.InventoryKeys().size(), 2u) << "nothing met again under a longer path";
    std::wstring skip = L"SIEVO: Folder skipped, already walked under another path: " + root + L"\\a\\loop";
    auto lines = ReadLogLines(MainLogPath());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& l) { return SamePath(l, skip); }), 1);
}

TEST_P(AwkwardModules, ModuleExtensionsInAnyLetterCase) {
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring upper = dir.Copy(PluginDir() + L"\\separate_controller.vst3", L"plugins\\Upper.VST3");
    std::wstring mixed = dir.Copy(PluginDir() + L"\\separate_controller.vst3", L"plugins\\Mixed.Vst3");
    std::wstring dll = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.DLL");
    ScanCleanly();
    for (const std::wstring& m : {upper, mixed}) EXPECT_EQ(Kind(m), L"isVst3=1 isBad=0 touch=1") << Narrow(m);
    ExpectPlugin(dll, L"isVst", L"Echo Chamber");
}

TEST_P(AwkwardModules, UnicodeClassesAndUtf8NamesFromEveryKind) {
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring wide = dir.Copy(PluginDir() + L"\\unicode_classes.vst3", L"plugins\\Wide.vst3");
    std::wstring narrow = dir.Copy(PluginDir() + L"\\unicode_classes.vst3", L"plugins\\Narrow.vst3");
    dir.Write(L"plugins\\Narrow.vst3.nofactory3", "");
    std::wstring effect = dir.Copy(PluginPath(L"utf8_names"), L"plugins\\Cafe.dll");
    std::wstring shell = dir.Copy(PluginPath(L"utf8_names"), L"plugins\\CafeShell.dll");
    dir.Write(L"plugins\\CafeShell.dll.shell", "1");
    std::wstring good = dir.Copy(PluginDir() + L"\\separate_controller.vst3", L"plugins\\Good.vst3");
    ScanCleanly();

    auto wideClasses = Members(wide);
    ASSERT_EQ(wideClasses.size(), 3u) << "the UTF-16-only class between two ordinary ones";
    const std::wstring& wideOnly = wideClasses[L"Широкий 宽 \U0001F39B"];
    EXPECT_EQ(key.Show(wideOnly, L"isVst3 isShell isBad Vendor Subcategories"),
              L"isVst3=1 isShell=1 isBad=0 Vendor=Вендор Wide Subcategories=Fx|Delay");
    EXPECT_EQ(wideClasses.count(L"Café Réverb") + wideClasses.count(L"Plain Before"), 2u);

    auto narrowClasses = Members(narrow);
    EXPECT_EQ(narrowClasses.size(), 2u) << "the class without plain information is passed over, the others kept";
    EXPECT_EQ(narrowClasses.count(L"Café Réverb"), 1u) << "UTF-8 in the plain class information";
    EXPECT_EQ(narrowClasses.count(L"Plain Before"), 1u);
    for (const std::wstring& r : key.RecordsOf(narrow)) EXPECT_EQ(key.Dword(L"isBad", r.c_str()), 0u);
    EXPECT_TRUE(Logged(L"Class 1 skipped"));

    ExpectPlugin(effect, L"isVst", L"Café Réverb");
    EXPECT_EQ(key.Text(L"Vendor", key.RecordsOf(effect)[0].c_str()), L"Tarnwell Tëst Labs");
    auto members = Members(shell);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members.begin()->first, L"Ünïcode Café Shell");
    EXPECT_EQ(Kind(good), L"isVst3=1 isBad=0 touch=1");
}

TEST_P(AwkwardModules, ARuntimeBesideThePluginIsFoundAndAFailedLoadIsTriedAgain) {
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring plugin = dir.Copy(PluginPath(L"needs_runtime"), L"plugins\\Needs.dll");
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    ScanCleanly();
    ASSERT_EQ(key.RecordsOf(plugin).size(), 1u);
    EXPECT_EQ(key.Show(key.RecordsOf(plugin)[0], L"isVst loadError"), L"isVst=0 loadError=126")
        << "why it is no plug-in yet";

    // The runtime arrives; the plug-in file itself does not change.
    dir.Copy(PluginDir() + L"\\runtime\\beside_runtime.dll", L"plugins\\beside_runtime.dll");
    DeleteLogs();
    ScanCleanly();
    EXPECT_TRUE(Contains(Block(plugin), L"SIEVO: Module failed to load in an earlier scan (error 126), trying again"));
    ExpectPlugin(plugin, L"isVst", L"Needs Runtime");
    EXPECT_EQ(key.Dword(L"loadError", key.RecordsOf(plugin)[0].c_str()), TestKey::kMissing)
        << "no longer kept once it loads";
    ExpectPlugin(echo, L"isVst", L"Echo Chamber");

    DeleteLogs();
    ScanCleanly();
    auto third = Block(plugin);
    EXPECT_TRUE(Contains(third, L"SIEVO: VST plugin previously scanned")) << "loaded once, it follows the usual rule";
    EXPECT_EQ(std::count_if(third.begin(), third.end(),
                            [](const std::wstring& l) { return l.find(L"trying again") != std::wstring::npos; }),
              0);
}

INSTANTIATE_TEST_SUITE_P(Modes, AwkwardModules, ::testing::Values(Mode::InProcess, Mode::Sandboxed),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                             return info.param == Mode::InProcess ? "InProcess" : "Sandboxed";
                         });

}  // namespace
