// DLLs the scanner cannot load itself go to the bridge beside the program.
// The bridge path follows the running executable, so the parent test copies
// this test program next to a stand-in "Gantry.dll" and runs the child test
// there.
#include <gtest/gtest.h>

#include <string>

#include "vst2_probe_support.h"

namespace {

using sievo_test::TempDir;

constexpr wchar_t kChildVariable[] = L"SIEVO_BRIDGE_CHILD_MODULE";

std::wstring ChildModule() {
    wchar_t value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(kChildVariable, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? value : L"";
}

TEST(Vst2Bridge, WithoutBridgeAnUnloadableDllYieldsNothing) {
    if (!ChildModule().empty()) GTEST_SKIP() << "runs in the parent only";
    TempDir dir;
    std::wstring path = dir.Write(L"unloadable.dll", "not a module");
    InventoryRecord r = vst2_test::NewRecord(path);
    DWORD count = 1;
    ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(r, nullptr, nullptr); }));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(r.isVst, 0u);
    EXPECT_STREQ(g_failure.step, L"Post Unload - HeapValidate");
}

TEST(Vst2Bridge, LoadsThroughTheBridgeBesideTheProgram) {
    if (!ChildModule().empty()) GTEST_SKIP() << "runs in the parent only";
    TempDir dir;
    std::wstring runner = dir.Copy(sievo_test::BinDir() + L"\\unit_vst2_bridge.exe", L"runner.exe");
    dir.Copy(sievo_test::PluginPath(L"fake_gantry"), L"Gantry.dll");
    std::wstring module = dir.Write(L"unloadable.dll", "not a module either");

    SetEnvironmentVariableW(kChildVariable, module.c_str());
    std::wstring command = L"\"" + runner + L"\" --gtest_filter=Vst2BridgeChild.*";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started =
        CreateProcessW(runner.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.Path().c_str(), &si, &pi);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    ASSERT_TRUE(started);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the child's checks failed";
    // The child leaves a mark, so a child that skipped cannot pass for one that checked.
    EXPECT_NE(GetFileAttributesW((module + L".checked").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Runs only in the copy beside the stand-in bridge.
TEST(Vst2BridgeChild, RecordOfABridgedPlugin) {
    const std::wstring module = ChildModule();
    if (module.empty()) GTEST_SKIP() << "runs in the child only";
    CloseHandle(CreateFileW((module + L".checked").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    InventoryRecord r = vst2_test::NewRecord(module);
    DWORD count = 0;
    ASSERT_TRUE(RunGuarded([&] { count = LoadVst2Plugin(r, nullptr, nullptr); }));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(r.isX64, 0u);
    EXPECT_EQ(r.isVst, 1u);
    EXPECT_EQ(r.uniqueId, 0x42524447);
    EXPECT_EQ(r.numParams, 2u);
    EXPECT_STREQ(r.FullName, L"Bridged Name (0)");
    EXPECT_STREQ(r.Vendor, L" (0)");
    EXPECT_STREQ(r.description, L"Bridged Product");
    EXPECT_EQ(r.hasVstEntryPoint, 0u);
    // The bridge was the module freed at the end.
    EXPECT_EQ(GetModuleHandleW(L"Gantry.dll"), nullptr);
}

}  // namespace
