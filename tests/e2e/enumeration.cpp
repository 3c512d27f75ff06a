// Which files a scan considers, in which order: read back from the listing
// the scan writes to its log.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace sievo_test;

namespace {

class Enumeration : public ::testing::Test {
protected:
    void SetUp() override { DeleteLogs(); }

    // The numbered candidate lines of the listing, without their numbers.
    std::vector<std::wstring> Listing(int* announced = nullptr) {
        auto lines = ReadLogLines(MainLogPath());
        std::vector<std::wstring> found;
        for (size_t i = 0; i < lines.size(); ++i) {
            int count = 0;
            if (swscanf(lines[i].c_str(), L"------- %d DLL's found -------", &count) == 1) {
                if (announced) *announced = count;
                for (size_t j = i + 1; j < lines.size() && lines[j] != L"-----------------------------"; ++j) {
                    std::wstring prefix = std::to_wstring(j - i) + L": ";
                    EXPECT_EQ(lines[j].rfind(prefix, 0), 0u) << "numbered from 1: " << Narrow(lines[j]);
                    found.push_back(lines[j].substr(prefix.size()));
                }
                break;
            }
        }
        return found;
    }
    std::wstring Lower(std::wstring s) {
        CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
        return s;
    }

    TestKey key;
    TempDir dir;
};

TEST_F(Enumeration, SubfoldersFirstThenDllsThenVst3) {
    std::wstring root = dir.Make(L"plugins");
    dir.Write(L"plugins\\a.dll", "x");
    dir.Write(L"plugins\\sub\\b.dll", "x");
    dir.Write(L"plugins\\sub\\c.vst3", "x");
    dir.Write(L"plugins\\notes.txt", "x");
    key.AddScanPath(root);
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);

    int announced = -1;
    std::wstring r = Lower(root);
    std::vector<std::wstring> expected = {r + L"\\sub\\b.dll", r + L"\\sub\\c.vst3", r + L"\\a.dll"};
    EXPECT_EQ(Listing(&announced), expected);
    EXPECT_EQ(announced, 3);
}

TEST_F(Enumeration, Vst3FoldersContributeNoDllsAtAnyDepth) {
    std::wstring root = dir.Make(L"Common\\VST3");
    dir.Write(L"Common\\VST3\\helper.dll", "x");
    dir.Write(L"Common\\VST3\\deep\\inner.dll", "x");
    dir.Write(L"Common\\VST3\\deep\\Reverb.vst3", "x");
    key.AddScanPath(root);
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    std::vector<std::wstring> expected = {Lower(root) + L"\\deep\\Reverb.vst3"};
    EXPECT_EQ(Listing(), expected);
}

TEST_F(Enumeration, BundleFolderAndItsModuleAreBothCandidates) {
    std::wstring root = dir.Make(L"bundles");
    dir.Write(L"bundles\\Synth.vst3\\Contents\\x86_64-win\\Synth.vst3", "x");
    key.AddScanPath(root);
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    std::wstring r = Lower(root);
    std::vector<std::wstring> expected = {r + L"\\Synth.vst3\\Contents\\x86_64-win\\Synth.vst3", r + L"\\Synth.vst3"};
    EXPECT_EQ(Listing(), expected);
}

TEST_F(Enumeration, MissingFolderAndFolderTwiceAreTakenAsTheyCome) {
    std::wstring root = dir.Make(L"twice");
    dir.Write(L"twice\\one.dll", "x");
    key.AddScanPath(root);
    key.AddInternalPath(root);
    key.AddScanPath(dir.Path() + L"\\does-not-exist");
    ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u);
    std::wstring one = Lower(root) + L"\\one.dll";
    std::vector<std::wstring> expected = {one, one};
    EXPECT_EQ(Listing(), expected);
}

}  // namespace
