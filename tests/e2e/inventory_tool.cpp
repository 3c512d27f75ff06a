// The inventory tool reads what a real scan stored and shows it as a table,
// JSON or CSV; a key that does not exist is an error, not an empty list.
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
        ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
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
    EXPECT_NE(out.find("3 records"), std::string::npos);
    EXPECT_NE(out.find("Last scan: 2 found, 2 scanned, 0 removed"), std::string::npos) << out;
    // Columns line up: every row starts its vendor where the header does.
    size_t header = out.find("Vendor");
    size_t lineStart = out.rfind('\n', header);
    size_t column = header - (lineStart == std::string::npos ? 0 : lineStart + 1);
    size_t echo = out.find("Echo Chamber");
    size_t echoLine = out.rfind('\n', echo) + 1;
    EXPECT_EQ(out.compare(echoLine + column, 18, "Tarnwell Test Labs"), 0) << out;
}

TEST_F(InventoryTool, JsonAndCsvCarryTheSameRecords) {
    std::string json, csv, err;
    ASSERT_EQ(RunCapture(L"SievoInventory.exe", ToolArgs() + L" /Format:json /Metrics", &json, &err).exitCode, 0u);
    EXPECT_NE(json.find("{\"name\": \"Pluck Synth\", \"vendor\": \"Tarnwell Test Labs\", \"type\": \"VST2\", "
                        "\"insOuts\": \"0/2\", \"synth\": \"yes\", \"bad\": \"no\", \"clsid\": \"{141AC902-"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"pluginsFound\": 2"), std::string::npos);
    ASSERT_EQ(RunCapture(L"SievoInventory.exe", ToolArgs() + L" /Format:csv", &csv, &err).exitCode, 0u);
    EXPECT_EQ(csv.rfind("Name,Vendor,Type,Ins/Outs,Synth,Bad,Class id\n", 0), 0u) << csv;
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
