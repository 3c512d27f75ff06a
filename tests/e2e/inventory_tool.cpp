// The inventory tool reads what a real scan stored and shows it as a table,
// JSON or CSV: a module that is no plug-in by its file name, a shell's
// plug-ins under their shell, known-bad modules marked, and with --bad only
// those, with their paths. A key that does not exist is an error, not an
// empty list.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class InventoryTool : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring folder = dir.Make(L"plugins");
        key.AddScanPath(folder);
        dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
        dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Pluck.dll");
        dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
        dir.Copy(PluginPath(L"shell_three"), L"plugins\\Trio.dll");
        ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    }
    std::string Run(const std::wstring& args) {
        std::string out, err;
        RunResult r = RunCapture(L"SievoInventory.exe", ToolArgs() + args, &out, &err);
        EXPECT_EQ(r.exitCode, 0u) << err;
        return out;
    }
    std::wstring ToolArgs() const { return L"/VSTRegPerUser \"/VSTRegKey:" + key.Path() + L"\""; }
    TestKey key;
    TempDir dir;
};

TEST_F(InventoryTool, TableShowsEveryRecordWithItsKind) {
    std::string out, err;
    RunResult r = RunCapture(L"SievoInventory.exe", ToolArgs() + L" /Metrics", &out, &err);
    ASSERT_EQ(r.exitCode, 0u) << err;
    EXPECT_NE(out.find("Echo Chamber"), std::string::npos) << out;
    EXPECT_NE(out.find("Pluck Synth"), std::string::npos);
    EXPECT_NE(out.find("VST2"), std::string::npos);
    EXPECT_NE(out.find("7 records"), std::string::npos) << out;
    EXPECT_NE(out.find("Last scan: 5 found, 5 scanned, 0 removed"), std::string::npos) << out;
    // No plug-in name: the file name, and what it is.
    EXPECT_NE(out.find("\nHelper.dll "), std::string::npos) << out;
    EXPECT_NE(out.find(" not a plug-in "), std::string::npos) << out;
    // Columns line up: every row starts its vendor where the header does.
    size_t header = out.find("Vendor");
    size_t lineStart = out.rfind('\n', header);
    size_t column = header - (lineStart == std::string::npos ? 0 : lineStart + 1);
    size_t echo = out.find("Echo Chamber");
    size_t echoLine = out.rfind('\n', echo) + 1;
    EXPECT_EQ(out.compare(echoLine + column, 18, "Tarnwell Test Labs"), 0) << out;
}

// The shell's plug-ins follow it, indented, whatever the registry's order,
// and no plug-in of a shell stands anywhere else.
TEST_F(InventoryTool, ShellPluginsAreListedUnderTheirShell) {
    std::string out = Run(L"");
    size_t shell = out.find(" shell ");
    ASSERT_NE(shell, std::string::npos) << out;
    size_t line = out.find('\n', shell) + 1;
    int members = 0;
    for (; out.compare(line, 2, "  ") == 0; line = out.find('\n', line) + 1, ++members)
        EXPECT_NE(out.substr(line, out.find('\n', line) - line).find("VST2 in shell"), std::string::npos) << out;
    EXPECT_EQ(members, 3) << "Alpha, Beta and Gamma under their shell:\n" << out;
    EXPECT_EQ(out.find("in shell", line), std::string::npos) << out;
    EXPECT_LT(shell, out.find("  Alpha from 1001")) << out;
    EXPECT_LT(shell, out.find("  Beta from 1002")) << out;
}

// A module that took the scanner down is known bad from then on: the table
// marks it, and --bad lists it alone with its path.
TEST_F(InventoryTool, KnownBadModulesAreMarkedAndListedWithTheirPaths) {
    EXPECT_EQ(Run(L" --bad"), "No known-bad modules.\n");
    std::wstring bad = dir.Copy(PluginPath(L"exits_in_entry"), L"plugins\\Zap.dll");
    RunSievo(key.Args());  // the module ends the scanner's process
    std::string table = Run(L"");
    size_t zap = table.find("\nZap.dll ");
    ASSERT_NE(zap, std::string::npos) << table;
    EXPECT_NE(table.substr(zap, table.find('\n', zap + 1) - zap).find("KNOWN BAD"), std::string::npos) << table;
    std::string list = Run(L" --bad");
    EXPECT_EQ(list.rfind("Name     Type     Path\n", 0), 0u) << list;
    std::string path = Narrow(bad);  // the scan keeps folders in lower case
    EXPECT_NE(list.find(" unknown  "), std::string::npos) << list;
    EXPECT_EQ(_stricmp(list.substr(list.find(" unknown  ") + 10, path.size()).c_str(), path.c_str()), 0) << list;
    EXPECT_NE(list.find("1 known-bad modules: "), std::string::npos) << list;
    EXPECT_EQ(list.find("Echo"), std::string::npos) << "only known-bad modules: " << list;
}

TEST_F(InventoryTool, JsonAndCsvCarryTheSameRecords) {
    std::string json, csv, err;
    ASSERT_EQ(RunCapture(L"SievoInventory.exe", ToolArgs() + L" /Format:json /Metrics", &json, &err).exitCode, 0u);
    EXPECT_NE(json.find("{\"name\": \"Pluck Synth\", \"vendor\": \"Tarnwell Test Labs\", \"type\": \"VST2\", "
                        "\"insOuts\": \"0/2\", \"synth\": \"yes\", \"bad\": \"no\", \"clsid\": \"{141AC902-"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"pluginsFound\": 5"), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"Helper.dll\", \"vendor\": \"\", \"type\": \"not a plug-in\""), std::string::npos);
    ASSERT_EQ(RunCapture(L"SievoInventory.exe", ToolArgs() + L" /Format:csv", &csv, &err).exitCode, 0u);
    EXPECT_EQ(csv.rfind("Name,Vendor,Type,Ins/Outs,Synth,Bad,Class id,Path\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("Echo Chamber,Tarnwell Test Labs,VST2,2/2,no,no,{141AC902-"), std::string::npos) << csv;
}

TEST_F(InventoryTool, MissingKeyAndBadArgumentsFailClearly) {
    std::string out, err;
    RunResult r =
        RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:Software\\SievoTest\\NoSuchKey\"", &out, &err);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(err.find("no configuration key HKEY_CURRENT_USER\\Software\\SievoTest\\NoSuchKey"), std::string::npos)
        << err;
    EXPECT_TRUE(out.empty());
    err.clear();
    EXPECT_EQ(RunCapture(L"SievoInventory.exe", L"/Format:xml", &out, &err).exitCode, 2u);
    EXPECT_NE(err.find("unknown argument /Format:xml"), std::string::npos);
}

}  // namespace
