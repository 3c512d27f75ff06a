// /VstProps:{clsid} opens the properties of the matching loaded record: a
// native record before a bridged one, the first item of the chosen name
// unless a later item holds a native record of that class, nothing at all
// when no record matches.
#include "ui_driver.h"

using namespace ui_test;

namespace {

constexpr wchar_t kEcho[] = L"{5EED0002-0000-4000-8000-000000000001}";
constexpr wchar_t kOther[] = L"{5EED0002-0000-4000-8000-000000000002}";
constexpr wchar_t kEchoHashed[] = L"{5EED0002-0000-4000-8000-0000000000AA}";

class SelectionList : public ::testing::Test {
protected:
    SeedRecord Record(const wchar_t* path, const wchar_t* name, const wchar_t* clsid, DWORD native) {
        SeedRecord r;
        r.path = path;
        r.name = name;
        r.clsid = clsid;
        r.isX64 = native;
        Seed(key, r);
        return r;
    }
    // Opens /VstProps: for the class id, checks the name shown, toggles
    // "Do not intercept NRPNs" and saves, so the edited key can be told apart.
    void OpenAndMark(const wchar_t* clsid, const wchar_t* expectedName) {
        Sievo sievo(key.Args() + L"/VstProps:" + clsid);
        HWND dialog = sievo.Wait(kPropsCaption);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, 1003), expectedName);
        Toggle(dialog, 1011);
        ClickButton(dialog, 64);
        ASSERT_EQ(sievo.WaitExit(), 0u);
    }
    bool Marked(const SeedRecord& r) const { return RecordDword(key, r, L"nrpnPassThrough") == 1; }

    TestKey key;
};

TEST_F(SelectionList, NoMatchingRecordEndsQuietly) {
    SeedRecord echo = Record(L"C:\\Plugins\\Echo.dll", L"Echo", kEcho, 1);
    Sievo sievo(key.Args() + L"/VstProps:" + kOther);
    ASSERT_TRUE(sievo.Started());
    EXPECT_EQ(sievo.WaitExit(), 0u);
    EXPECT_EQ(RecordText(key, echo, L"FullName"), L"Echo");
    EXPECT_FALSE(HasValue(key, L"Inventory", L"lastUpdateTime"));
}

TEST_F(SelectionList, EmptyInventoryEndsQuietly) {
    Sievo sievo(key.Args() + L"/VstProps:" + kEcho);
    ASSERT_TRUE(sievo.Started());
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

TEST_F(SelectionList, NativeRecordIsPreferredOverABridgedOneListedFirst) {
    // Keys enumerate in name order: the bridged record comes first.
    SeedRecord bridged = Record(L"C:\\A\\Echo32.dll", L"Echo (bridged)", kEcho, 0);
    SeedRecord native = Record(L"C:\\B\\Echo64.dll", L"Echo (native)", kEcho, 1);
    OpenAndMark(kEcho, L"Echo (native)");
    EXPECT_TRUE(Marked(native));
    EXPECT_FALSE(Marked(bridged));
}

TEST_F(SelectionList, WithoutANativeRecordTheLastMatchIsOpened) {
    SeedRecord first = Record(L"C:\\A\\Echo.dll", L"Echo one", kEcho, 0);
    SeedRecord last = Record(L"C:\\B\\Echo.dll", L"Echo two", kEcho, 0);
    OpenAndMark(kEcho, L"Echo two");
    EXPECT_TRUE(Marked(last));
    EXPECT_FALSE(Marked(first));
}

TEST_F(SelectionList, TheHashedClassIdMatchesToo) {
    SeedRecord echo = Record(L"C:\\Plugins\\Echo.dll", L"Echo", kEcho, 1);
    key.SetText(L"clsidPlugMD5", kEchoHashed, RecordSub(echo).c_str());
    OpenAndMark(kEchoHashed, L"Echo");
    EXPECT_TRUE(Marked(echo));
}

TEST_F(SelectionList, SameNameOpensTheFirstItemUnlessALaterOneIsNativeOfTheClass) {
    // Two different plug-ins with one display name, both bridged: the list
    // finds the name at the first item, and no later item is a native
    // record of the chosen class, so the first plug-in is the one edited.
    SeedRecord first = Record(L"C:\\A\\Twin.dll", L"Twin", kOther, 0);
    SeedRecord chosen = Record(L"C:\\B\\Twin.dll", L"Twin", kEcho, 0);
    OpenAndMark(kEcho, L"Twin");
    EXPECT_TRUE(Marked(first));
    EXPECT_FALSE(Marked(chosen));
}

TEST_F(SelectionList, SameNameWithTheChosenClassNativeLaterOpensThatOne) {
    SeedRecord first = Record(L"C:\\A\\Twin.dll", L"Twin", kOther, 0);
    SeedRecord native = Record(L"C:\\B\\Twin.dll", L"Twin", kEcho, 1);
    OpenAndMark(kEcho, L"Twin");
    EXPECT_TRUE(Marked(native));
    EXPECT_FALSE(Marked(first));
}

}  // namespace
