// The bridge server count the properties dialog offers and the jBridge
// detection that enables its jBridge box.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "inventory/BridgeSettings.h"

using namespace sievo_test;

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

uint64_t g_memory = 0;
uint64_t FakeMemory() {
    return g_memory;
}

class ServerCount : public ::testing::Test {
protected:
    void SetUp() override {
        wcscpy(g_ctx.configKeyPath, key.Path().c_str());
        SetPhysicalMemorySource(FakeMemory);
    }
    void TearDown() override { SetPhysicalMemorySource(nullptr); }
    DWORD WithMemory(uint64_t bytes) {
        g_memory = bytes;
        return GantryServerCount();
    }
    TestKey key;
};

TEST_F(ServerCount, WithoutAStoredCountOneServerPerTwoGiBRoundedUp) {
    EXPECT_EQ(WithMemory(6 * kGiB), 3u);
    EXPECT_EQ(WithMemory(16 * kGiB), 8u);
    EXPECT_EQ(WithMemory(17 * kGiB), 9u);
    EXPECT_EQ(WithMemory(16 * kGiB + 1), 9u);
    EXPECT_EQ(WithMemory(1 * kGiB), 1u);
}

TEST_F(ServerCount, NeverMoreThanThirtyTwo) {
    EXPECT_EQ(WithMemory(96 * kGiB), 32u);
    EXPECT_EQ(WithMemory(100 * kGiB), 32u);
    key.SetDword(L"GantryServerCount", 40);
    EXPECT_EQ(WithMemory(6 * kGiB), 32u);
}

TEST_F(ServerCount, AStoredCountWinsOverTheMemory) {
    key.SetDword(L"GantryServerCount", 5);
    EXPECT_EQ(WithMemory(100 * kGiB), 5u);
    key.SetDword(L"GantryServerCount", 1);
    EXPECT_EQ(WithMemory(100 * kGiB), 1u);
}

TEST_F(ServerCount, AStoredCountBelowOneMeansAskTheMemory) {
    key.SetDword(L"GantryServerCount", 0);
    EXPECT_EQ(WithMemory(6 * kGiB), 3u);
    key.SetDword(L"GantryServerCount", 0xFFFFFFFF);  // -1
    EXPECT_EQ(WithMemory(6 * kGiB), 3u);
}

TEST_F(ServerCount, NoConfigurationKeyMeansNoServers) {
    wcscpy(g_ctx.configKeyPath, (key.Path() + L"\\Missing").c_str());
    EXPECT_EQ(WithMemory(6 * kGiB), 0u);
}

TEST(ServerCountOnThisMachine, FollowsTheRealMemory) {
    TestKey key;
    wcscpy(g_ctx.configKeyPath, key.Path().c_str());
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    DWORD count = GantryServerCount();
    EXPECT_GE(count, 1u);
    EXPECT_LE(count, 32u);
    EXPECT_GE(uint64_t{count} * 2 * kGiB, std::min<uint64_t>(status.ullTotalPhys, 32 * 2 * kGiB));
}

class JBridge : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\JBridge"); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\JBridge");
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\JBridge");
    }
    void SetProxy(const std::wstring& proxy) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\JBridge", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"Proxy64", 0, REG_SZ, reinterpret_cast<const BYTE*>(proxy.c_str()),
                       static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    TempDir dir;
};

TEST_F(JBridge, DetectedWhenProxy64NamesAnExistingFile) {
    EXPECT_FALSE(IsJBridgeInstalled()) << "no key";
    SetProxy(dir.Write(L"JBridger64.exe", "MZ"));
    EXPECT_TRUE(IsJBridgeInstalled());
}

TEST_F(JBridge, AMissingFileOrAnEmptyValueIsNoJBridge) {
    SetProxy(dir.Path() + L"\\JBridger64.exe");
    EXPECT_FALSE(IsJBridgeInstalled());
    SetProxy(L"");
    EXPECT_FALSE(IsJBridgeInstalled());
    SetProxy(dir.Path());  // a folder is not the proxy
    EXPECT_FALSE(IsJBridgeInstalled());
}

}  // namespace
