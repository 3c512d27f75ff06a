// Plug-in folders as users really have them: non-Latin folder names, paths
// past the registry's key-name limit, links back to a parent folder, ".VST3"
// in capitals, UTF-16-only VST 3 classes and UTF-8 names, a runtime DLL
// beside the plug-in. Each case runs in process and sandboxed (what a host
// gets in background mode), with good plug-ins beside the awkward ones whose
// records must come out complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

enum class Mode { InProcess, Sandboxed };

struct Record {
    std::wstring key;
    std::map<std::wstring, DWORD> numbers;
    std::wstring fullName, fullPath, vendor, subcategories;
    DWORD Number(const wchar_t* name) const {
        auto it = numbers.find(name);
        return it == numbers.end() ? 0xFFFFFFFF : it->second;
    }
};

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
    // Lines of the scan and of every sandboxed child.
    std::vector<std::wstring> Log() const {
        std::vector<std::wstring> lines = ReadLogLines(MainLogPath());
        std::vector<std::wstring> children = ReadLogLines(SandboxLogPath());
        lines.insert(lines.end(), children.begin(), children.end());
        return lines;
    }
    bool Logged(const std::wstring& part) const {
        auto lines = Log();
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

    std::vector<Record> Records() const {
        std::vector<Record> out;
        for (const std::wstring& name : key.InventoryKeys()) {
            Record r;
            r.key = name;
            std::wstring sub = L"Inventory\\" + name;
            for (const wchar_t* v : {L"isVst", L"isVst3", L"isBad", L"isShell", L"numParams", L"loadError", L"touch"}) {
                DWORD n = 0;
                if (key.GetDword(v, &n, sub.c_str())) r.numbers[v] = n;
            }
            key.GetString(L"FullName", &r.fullName, sub.c_str());
            key.GetString(L"FullPath", &r.fullPath, sub.c_str());
            key.GetString(L"Vendor", &r.vendor, sub.c_str());
            key.GetString(L"Subcategories", &r.subcategories, sub.c_str());
            out.push_back(r);
        }
        return out;
    }
    // Records whose key lies under a folder: a module that ended the process
    // left only its crash marker, no path.
    std::vector<Record> RecordsUnder(const std::wstring& folder) const {
        std::wstring prefix = TestKey::RecordKey(folder) + L"/";
        std::vector<Record> out;
        for (const Record& r : Records())
            if (SamePath(r.key.substr(0, prefix.size()), prefix)) out.push_back(r);
        return out;
    }
    // Every record of a module (a shell's members share its path).
    std::vector<Record> RecordsOf(const std::wstring& module) const {
        std::vector<Record> out;
        for (const Record& r : Records())
            if (SamePath(r.fullPath, module)) out.push_back(r);
        return out;
    }
    // The one record of an ordinary module, checked to be a complete plug-in record.
    void ExpectPlugin(const std::wstring& module, const wchar_t* kind, const std::wstring& name) const {
        std::vector<Record> found = RecordsOf(module);
        ASSERT_EQ(found.size(), 1u) << Narrow(module);
        const Record& r = found[0];
        EXPECT_EQ(r.Number(kind), 1u) << Narrow(module);
        EXPECT_EQ(r.Number(L"isBad"), 0u) << Narrow(module);
        EXPECT_EQ(r.Number(L"touch"), 1u) << Narrow(module);
        EXPECT_EQ(r.fullName, name) << Narrow(module);
        EXPECT_LE(r.key.size(), 255u);
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

    for (const std::wstring& m : modules) {
        ExpectPlugin(m, L"isVst", L"Echo Chamber");
        auto r = RecordsOf(m);
        if (!r.empty()) {
            EXPECT_EQ(r[0].fullPath.substr(r[0].fullPath.size() - 8), L"Écho.dll");
        }
    }
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
    EXPECT_EQ(marked[0].Number(L"isBad"), 1u);

    DeleteLogs();
    ScanCleanly();
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    for (const std::wstring& m : {at250, at258, at300}) ExpectPlugin(m, L"isVst", L"Echo Chamber");
    EXPECT_TRUE(SamePath(RecordsOf(at250)[0].key, TestKey::RecordKey(at250))) << "a key that fits is the path itself";
    marked = RecordsUnder(dir.Path() + L"\\d");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0].Number(L"isBad"), 1u);
    EXPECT_LE(marked[0].key.size(), 255u);
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
    DWORD deleted = 0xFFFFFFFF;
    key.GetDword(L"PluginsDeleted", &deleted, L"Inventory");
    EXPECT_EQ(deleted, 0u);
    EXPECT_EQ(Records().size(), 4u);
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
    EXPECT_EQ(Records().size(), 2u) << "nothing met again under a longer path";
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
    for (const std::wstring& m : {upper, mixed}) {
        auto r = RecordsOf(m);
        ASSERT_FALSE(r.empty()) << Narrow(m);
        EXPECT_EQ(r[0].Number(L"isVst3"), 1u) << Narrow(m);
    }
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

    auto names = [&](const std::wstring& module) {
        std::map<std::wstring, Record> byName;
        for (const Record& r : RecordsOf(module))
            if (r.Number(L"isVst3") == 1 && r.Number(L"isShell") == 1 && r.key.find(L'*') != std::wstring::npos)
                byName[r.fullName] = r;
        return byName;
    };
    auto wideClasses = names(wide);
    ASSERT_EQ(wideClasses.size(), 3u) << "the UTF-16-only class between two ordinary ones";
    ASSERT_EQ(wideClasses.count(L"Широкий 宽 \U0001F39B"), 1u);
    EXPECT_EQ(wideClasses[L"Широкий 宽 \U0001F39B"].vendor, L"Вендор Wide");
    EXPECT_EQ(wideClasses[L"Широкий 宽 \U0001F39B"].subcategories, L"Fx|Delay");
    EXPECT_EQ(wideClasses.count(L"Café Réverb"), 1u);
    EXPECT_EQ(wideClasses.count(L"Plain Before"), 1u);

    auto narrowClasses = names(narrow);
    EXPECT_EQ(narrowClasses.size(), 2u) << "the class without plain information is passed over, the others kept";
    EXPECT_EQ(narrowClasses.count(L"Café Réverb"), 1u) << "UTF-8 in the plain class information";
    EXPECT_EQ(narrowClasses.count(L"Plain Before"), 1u);
    for (const Record& r : RecordsOf(narrow)) EXPECT_EQ(r.Number(L"isBad"), 0u);
    EXPECT_TRUE(Logged(L"Class 1 skipped"));

    auto e = RecordsOf(effect);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].fullName, L"Café Réverb");
    EXPECT_EQ(e[0].vendor, L"Tarnwell Tëst Labs");
    std::set<std::wstring> members;
    for (const Record& r : RecordsOf(shell))
        if (r.key.find(L'*') != std::wstring::npos) members.insert(r.fullName);
    EXPECT_EQ(members, std::set<std::wstring>{L"Ünïcode Café Shell"});
    ASSERT_FALSE(RecordsOf(good).empty());
    EXPECT_EQ(RecordsOf(good)[0].Number(L"isVst3"), 1u);
}

TEST_P(AwkwardModules, ARuntimeBesideThePluginIsFoundAndAFailedLoadIsTriedAgain) {
    key.AddScanPath(dir.Make(L"plugins"));
    std::wstring plugin = dir.Copy(PluginPath(L"needs_runtime"), L"plugins\\Needs.dll");
    std::wstring echo = dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    ScanCleanly();
    auto before = RecordsOf(plugin);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].Number(L"isVst"), 0u);
    EXPECT_EQ(before[0].Number(L"loadError"), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << "why it is no plug-in yet";

    // The runtime arrives; the plug-in file itself does not change.
    dir.Copy(PluginDir() + L"\\runtime\\beside_runtime.dll", L"plugins\\beside_runtime.dll");
    DeleteLogs();
    ScanCleanly();
    EXPECT_TRUE(Contains(Block(plugin), L"SIEVO: Module failed to load in an earlier scan (error 126), trying again"));
    ExpectPlugin(plugin, L"isVst", L"Needs Runtime");
    EXPECT_EQ(RecordsOf(plugin)[0].Number(L"loadError"), 0xFFFFFFFFu) << "no longer kept once it loads";
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
