// The inventory tool reads what a real scan stored and shows it as a table,
// JSON or CSV: a module that is no plug-in by its file name, a shell's
// plug-ins under their shell, known-bad modules marked, and with --bad only
// those, with their paths. A key that does not exist is an error, not an
// empty list.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

constexpr std::string::size_type kNone = std::string::npos;

TEST(InventoryTool, TableJsonCsvAndKnownBadModulesOfARealScan) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Pluck.dll");
    dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
    dir.Copy(PluginPath(L"shell_three"), L"plugins\\Trio.dll");
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    auto run = [&](const std::wstring& args) {
        std::string out, err;
        EXPECT_EQ(
            RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:" + key.Path() + L"\"" + args, &out, &err)
                .exitCode,
            0u)
            << err;
        return out;
    };

    std::string out = run(L" /Metrics");
    for (const char* shown : {"Echo Chamber", "Pluck Synth", "VST2", "7 records",
                              "Last scan: 5 found, 5 scanned, 0 removed", "\nHelper.dll ", " not a plug-in "})
        EXPECT_NE(out.find(shown), kNone) << shown << " in\n" << out;

    // The shell's plug-ins follow it, indented, whatever the registry's
    // order, and no plug-in of a shell stands anywhere else.
    size_t shell = out.find(" shell ");
    ASSERT_NE(shell, kNone);
    size_t line = out.find('\n', shell) + 1;
    int members = 0;
    for (; out.compare(line, 2, "  ") == 0; line = out.find('\n', line) + 1, ++members)
        EXPECT_NE(out.substr(line, out.find('\n', line) - line).find("VST2 in shell"), kNone) << out;
    EXPECT_EQ(members, 3) << "Alpha, Beta and Gamma under their shell:\n" << out;
    EXPECT_EQ(out.find("in shell", line), kNone) << out;
    EXPECT_LT(shell, out.find("  Alpha from 1001")) << out;

    std::string json = run(L" /Format:json /Metrics");
    EXPECT_NE(json.find("{\"name\": \"Pluck Synth\", \"vendor\": \"Tarnwell Test Labs\", \"type\": \"VST2\", "
                        "\"insOuts\": \"0/2\", \"synth\": \"yes\", \"bad\": \"no\", \"clsid\": \"{141AC902-"),
              kNone)
        << json;
    EXPECT_NE(json.find("\"pluginsFound\": 5"), kNone) << json;
    EXPECT_NE(json.find("\"name\": \"Helper.dll\", \"vendor\": \"\", \"type\": \"not a plug-in\""), kNone);
    std::string csv = run(L" /Format:csv");
    EXPECT_EQ(csv.rfind("Name,Vendor,Type,Ins/Outs,Synth,Bad,Class id,Path\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("Echo Chamber,Tarnwell Test Labs,VST2,2/2,no,no,{141AC902-"), kNone) << csv;

    // A module that took the scanner down is known bad from then on: the
    // table marks it, and --bad lists it alone with its path.
    EXPECT_EQ(run(L" --bad"), "No known-bad modules.\n");
    std::wstring bad = dir.Copy(PluginPath(L"exits_in_entry"), L"plugins\\Zap.dll");
    RunSievo(key.Args());  // the module ends the scanner's process
    std::string table = run(L"");
    size_t zap = table.find("\nZap.dll ");
    ASSERT_NE(zap, kNone) << table;
    EXPECT_NE(table.substr(zap, table.find('\n', zap + 1) - zap).find("KNOWN BAD"), kNone) << table;
    std::string list = run(L" --bad");
    EXPECT_EQ(list.rfind("Name     Type     Path\n", 0), 0u) << list;
    size_t unknown = list.find(" unknown  ");
    ASSERT_NE(unknown, kNone) << list;
    std::string path = Narrow(bad);  // the scan keeps folders in lower case
    EXPECT_EQ(_stricmp(list.substr(unknown + 10, path.size()).c_str(), path.c_str()), 0) << list;
    EXPECT_NE(list.find("1 known-bad modules: "), kNone) << list;
    EXPECT_EQ(list.find("Echo"), kNone) << "only known-bad modules: " << list;
}

TEST(InventoryTool, MissingKeyAndBadArgumentsFailClearly) {
    std::string out, err;
    RunResult r =
        RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:Software\\SievoTest\\NoSuchKey\"", &out, &err);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(err.find("no configuration key HKEY_CURRENT_USER\\Software\\SievoTest\\NoSuchKey"), kNone) << err;
    EXPECT_TRUE(out.empty());
    err.clear();
    EXPECT_EQ(RunCapture(L"SievoInventory.exe", L"/Format:xml", &out, &err).exitCode, 2u);
    EXPECT_NE(err.find("unknown argument /Format:xml"), kNone);
}

}  // namespace
