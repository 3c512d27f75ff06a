// Shell plug-ins: the root is recorded as the module, each listed sub-plug-in
// is created with its id answered to audioMasterCurrentId and gets a record.
#include <gtest/gtest.h>

#include <string>

#include "vst2_probe_support.h"

namespace {

using sievo_test::TempDir;
using vst2_test::GuidText;

struct SubExpected {
    int32_t uniqueId;
    const wchar_t* fullName;
    uint32_t numParams;
    const wchar_t* clsidPlugStart;
};

TEST(Vst2Shell, EverySubPluginGetsARecordOfItsOwn) {
    TempDir dir;
    vst2_test::Probed p = vst2_test::ProbeCopy(dir, L"shell_three");
    ASSERT_TRUE(p.returned);
    EXPECT_EQ(p.count, 3u);

    const InventoryRecord& root = p.record;
    EXPECT_EQ(root.isShell, 1u);
    EXPECT_EQ(root.isShellRoot, 1u);
    EXPECT_EQ(root.isVst, 1u);
    EXPECT_EQ(root.isX64, 1u);
    EXPECT_EQ(root.factoryFlags, 1u);
    EXPECT_EQ(root.numClasses, 3u);
    EXPECT_STREQ(root.FullName, L"shell_three");  // the root is not asked its name
    EXPECT_STREQ(root.Vendor, L"");
    EXPECT_EQ(GuidText(root.clsidPlug), L"{00000000-0000-0000-0000-000000000000}");

    const SubExpected expected[] = {
        {1001, L"Alpha from 1001", 4, L"{141AC902-0000-03E9-"},
        {1002, L"Beta from 1002", 30, L"{141AC902-0000-03EA-"},
        // Reports no name of its own: the listed name stays.
        {-1003, L"Trio\\Gamma", 0, L"{141AC902-FFFF-FC15-"},
    };
    ASSERT_EQ(p.subRecords.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const InventoryRecord& sub = p.subRecords[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(sub.uniqueId, expected[i].uniqueId);
        EXPECT_STREQ(sub.FullName, expected[i].fullName);
        EXPECT_EQ(sub.numParams, expected[i].numParams);
        EXPECT_STREQ(sub.Vendor, L"Tarnwell Shell Vendor");
        EXPECT_STREQ(sub.FullPath, root.FullPath);
        EXPECT_EQ(sub.isShell, 1u);
        EXPECT_EQ(sub.isShellRoot, 0u);
        EXPECT_EQ(sub.factoryFlags, 1u);
        EXPECT_EQ(sub.numClasses, 1u);
        EXPECT_EQ(sub.isSynth, 1u);
        EXPECT_EQ(sub.isVst, 1u);
        EXPECT_EQ(sub.cxEditor, 0u);  // no generic editor inside a shell
        EXPECT_EQ(sub.cyEditor, 0u);
        EXPECT_EQ(GuidText(sub.clsidPlug).rfind(expected[i].clsidPlugStart, 0), 0u) << GuidText(sub.clsidPlug);
    }
    // MD5 form of the first one: id 1001 and the stem "shell_three".
    EXPECT_EQ(GuidText(p.subRecords[0].clsidPlugMD5), L"{DD9B983B-AEA0-1601-143C-A5165B2D9367}");
    EXPECT_EQ(GuidText(p.subRecords[0].clsidPropsMD5), L"{60E48175-C713-CBC6-E72C-530AB5818DEA}");
    EXPECT_EQ(GetModuleHandleW(p.path.c_str()), nullptr);
}

TEST(Vst2Shell, UnchangedShellWithTheSameCountIsNotWalkedAgain) {
    TempDir dir;
    vst2_test::Probed first = vst2_test::ProbeCopy(dir, L"shell_three");
    ASSERT_TRUE(first.returned);
    ASSERT_EQ(first.record.numClasses, 3u);

    InventoryRecord again = first.record;
    std::vector<InventoryRecord> subs;
    DWORD count = 99;
    ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(again, &subs, nullptr); }));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(subs.empty());
    EXPECT_EQ(again.numClasses, 3u);

    // Another count last time: walked in full although the file is the same.
    InventoryRecord changed = first.record;
    changed.numClasses = 2;
    ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(changed, &subs, nullptr); }));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(subs.size(), 3u);
    EXPECT_EQ(changed.numClasses, 3u);
}

TEST(Vst2Shell, EmptyShellIsARootWithoutClasses) {
    TempDir dir;
    vst2_test::Probed p = vst2_test::ProbeCopy(dir, L"shell_empty");
    ASSERT_TRUE(p.returned);
    EXPECT_EQ(p.count, 0u);
    EXPECT_TRUE(p.subRecords.empty());
    EXPECT_EQ(p.record.isShellRoot, 1u);
    EXPECT_EQ(p.record.isShell, 1u);
    EXPECT_EQ(p.record.numClasses, 0u);
    EXPECT_EQ(GetModuleHandleW(p.path.c_str()), nullptr);
}

}  // namespace
