// Plug-in folders as users really have them (non-Latin names, long paths,
// links back to a parent, odd letter case and text encodings, a missing
// runtime), scanned in process and sandboxed: the records come out complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The parameter: sandboxed (what a host gets in background mode).
class AwkwardModules : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { key.SetDword(L"scanInSandbox", GetParam()); }

    // `clean`: a scan that no plug-in ends.
    void Scan(bool clean = true) {
        DeleteLogs();
        RunResult r = RunSievo(key.Args() + (GetParam() ? L"/Background/Log" : L"/Log"), 180000);
        ASSERT_FALSE(r.timedOut) << "a dialog or a hang held the scan";
        EXPECT_TRUE(!clean || r.exitCode == 0) << r.exitCode;
    }
    // A part of a line of the scan's or of any sandboxed child's log.
    bool Logged(const std::wstring& part) const {
        std::vector<std::wstring> lines = ReadLogLines(MainLogPath());
        std::vector<std::wstring> children = ReadLogLines(SandboxLogPath());
        lines.insert(lines.end(), children.begin(), children.end());
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::wstring& l) { return l.find(part) != std::wstring::npos; });
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

// One scan over every kind of awkward module beside good ones, then a
// rescan after the runtime that one plug-in needs arrives.
TEST_P(AwkwardModules, AwkwardFoldersAndModulesInOneScan) {
    std::wstring root = dir.Make(L"plugins");
    key.AddScanPath(root);
    auto add = [&](const std::wstring& source, const std::wstring& file) {
        return dir.Copy(source, L"plugins\\" + file);
    };
    auto vst3 = [](const wchar_t* name) { return PluginDir() + L"\\" + name + L".vst3"; };
    std::vector<std::wstring> echoes;
    for (const wchar_t* folder : {L"плагины", L"插件 音频", L"fx \U0001F39B", L"a"})  // the third outside the BMP
        echoes.push_back(add(PluginPath(L"effect_with_editor"), folder + std::wstring(L"\\Écho.dll")));
    echoes.push_back(add(PluginPath(L"effect_with_editor"), L"Echo.DLL"));
    std::wstring seven = add(PluginPath(L"no_editor_7_params"), L"latin\\Seven.dll");
    ASSERT_TRUE(MakeFolderLink(root + L"\\a\\loop", root));
    std::wstring upper = add(vst3(L"separate_controller"), L"Upper.VST3");
    std::wstring mixed = add(vst3(L"separate_controller"), L"Mixed.Vst3");
    std::wstring wide = add(vst3(L"unicode_classes"), L"Wide.vst3");
    std::wstring narrow = add(vst3(L"unicode_classes"), L"Narrow.vst3");
    dir.Write(L"plugins\\Narrow.vst3.nofactory3", "");
    std::wstring cafe = add(PluginPath(L"utf8_names"), L"Cafe.dll");
    std::wstring shell = add(PluginPath(L"utf8_names"), L"CafeShell.dll");
    dir.Write(L"plugins\\CafeShell.dll.shell", "1");
    std::wstring needs = add(PluginPath(L"needs_runtime"), L"Needs.dll");
    // Plug-ins that answer nonsense or nothing: no instance, texts without
    // end, absurd counts, a host context released too often.
    std::vector<std::wstring> odd;
    for (const wchar_t* n : {L"wrong_magic", L"null_dispatcher", L"returns_null", L"unterminated_long_strings"})
        odd.push_back(add(PluginPath(n), std::wstring(L"odd\\") + n + L".dll"));
    for (const wchar_t* n : {L"garbage_info", L"huge_class_count", L"host_over_release"})
        odd.push_back(add(vst3(n), std::wstring(L"odd\\") + n + L".vst3"));
    Scan();

    for (const std::wstring& m : echoes) ExpectPlugin(m, L"isVst", L"Echo Chamber");
    ExpectPlugin(seven, L"isVst", L"Seven Knobs");
    for (const std::wstring& name : key.InventoryKeys())
        EXPECT_EQ(name.find(L"/loop/"), std::wstring::npos) << "met again under a longer path: " << Narrow(name);
    std::wstring skip = L"SIEVO: Folder skipped, already walked under another path: " + root + L"\\a\\loop";
    auto lines = ReadLogLines(MainLogPath());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::wstring& l) { return SamePath(l, skip); }), 1);
    for (const std::wstring& m : {upper, mixed}) ExpectPlugin(m, L"isVst3", L"Separate Controller Delay");

    auto wideClasses = Members(wide);
    ASSERT_EQ(wideClasses.size(), 3u) << "the UTF-16-only class between two ordinary ones";
    EXPECT_EQ(key.Show(wideClasses[L"Широкий 宽 \U0001F39B"], L"isVst3 isShell isBad Vendor Subcategories"),
              L"isVst3=1 isShell=1 isBad=0 Vendor=Вендор Wide Subcategories=Fx|Delay");
    EXPECT_EQ(wideClasses.count(L"Café Réverb") + wideClasses.count(L"Plain Before"), 2u);
    auto narrowClasses = Members(narrow);
    EXPECT_EQ(narrowClasses.size(), 2u) << "the class without plain information is passed over, the others kept";
    EXPECT_EQ(narrowClasses.count(L"Café Réverb") + narrowClasses.count(L"Plain Before"), 2u) << "UTF-8 kept";
    for (const std::wstring& r : key.RecordsOf(narrow)) EXPECT_EQ(key.Dword(L"isBad", r.c_str()), 0u);
    EXPECT_TRUE(Logged(L"Class 1 skipped"));
    ExpectPlugin(cafe, L"isVst", L"Café Réverb");
    EXPECT_EQ(key.Text(L"Vendor", key.RecordsOf(cafe)[0].c_str()), L"Tarnwell Tëst Labs");
    EXPECT_EQ(Members(shell).count(L"Ünïcode Café Shell"), 1u);

    for (const std::wstring& m : odd) {
        ASSERT_EQ(key.RecordsOf(m).size(), 1u) << Narrow(m);
        std::wstring r = key.RecordsOf(m)[0];
        EXPECT_EQ(key.Dword(L"isBad", r.c_str()), 0u) << Narrow(m);
        for (const wchar_t* text : {L"FullName", L"Vendor"}) EXPECT_LT(key.Text(text, r.c_str()).size(), 1024u);
    }

    ASSERT_EQ(key.RecordsOf(needs).size(), 1u);
    EXPECT_EQ(key.Show(key.RecordsOf(needs)[0], L"isVst loadError"), L"isVst=0 loadError=126")
        << "why it is no plug-in yet";
    // The runtime arrives; the plug-in file itself does not change.
    dir.Copy(PluginDir() + L"\\runtime\\beside_runtime.dll", L"plugins\\beside_runtime.dll");
    Scan();
    EXPECT_TRUE(Logged(L"SIEVO: Module failed to load in an earlier scan (error 126), trying again"));
    ExpectPlugin(needs, L"isVst", L"Needs Runtime");
    EXPECT_EQ(key.Dword(L"loadError", key.RecordsOf(needs)[0].c_str()), TestKey::kMissing)
        << "no longer kept once it loads";
    Scan();
    EXPECT_FALSE(Logged(L"trying again")) << "loaded once, it follows the usual rule";
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
    Scan(false);  // in process the killer ends the scan; the others were recorded before it
    auto marked = RecordsUnder(dir.Path() + L"\\d");
    ASSERT_EQ(marked.size(), 1u) << "the crash marker has a key to live in";
    EXPECT_EQ(key.Dword(L"isBad", marked[0].c_str()), 1u);

    Scan();
    EXPECT_TRUE(Logged(L"SIEVO: Known bad VST plugin skipped"));
    for (const std::wstring& m : {at250, at258, at300}) ExpectPlugin(m, L"isVst", L"Echo Chamber");
    EXPECT_TRUE(SamePath(key.RecordsOf(at250)[0], TestKey::Record(at250))) << "a key that fits is the path itself";
    marked = RecordsUnder(dir.Path() + L"\\d");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(key.Dword(L"isBad", marked[0].c_str()), 1u);
    EXPECT_LE(marked[0].size(), 255u + 10);
    EXPECT_TRUE(Logged(L"record key shortened to"));

    // The second scan found the shortened keys of the first again and removed none.
    EXPECT_EQ(key.Dword(L"PluginsDeleted", L"Inventory"), 0u);
    EXPECT_EQ(key.InventoryKeys().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(InProcessAndSandboxed, AwkwardModules, ::testing::Bool());

}  // namespace
