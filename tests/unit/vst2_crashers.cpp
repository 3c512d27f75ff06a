// Plug-ins that fault inside the probe: the fault leaves the probe for the
// guard around it, and the step label names the call that was running.
#include <gtest/gtest.h>

#include <string>

#include "vst2_probe_support.h"

namespace {

using sievo_test::TempDir;
using vst2_test::ProbeCopy;
using vst2_test::Probed;

struct CrashCase {
    const wchar_t* plugin;
    const wchar_t* step;
    DWORD code;  // 0: a C++ exception, whose code depends on the runtime that threw it
};

const CrashCase kCrashers[] = {
    {L"crash_in_entry", L"Main Call", EXCEPTION_ACCESS_VIOLATION},
    {L"crash_in_open", L"Open", EXCEPTION_ACCESS_VIOLATION},
    {L"throws_in_get_program", L"Get Program", 0},
    {L"crash_in_cando", L"noRealTime", EXCEPTION_ACCESS_VIOLATION},
    {L"divides_by_zero", L"Set Sample Rate", EXCEPTION_INT_DIVIDE_BY_ZERO},
    {L"recurses_forever", L"Set Block Size", EXCEPTION_STACK_OVERFLOW},
    {L"crash_in_vendor_string", L"effGetVendorString", EXCEPTION_ACCESS_VIOLATION},
    {L"crash_in_close", L"Close Effect", EXCEPTION_ACCESS_VIOLATION},
};

TEST(Vst2Crashers, GuardCatchesAndStepLabelNamesTheCall) {
    TempDir dir;
    for (const CrashCase& c : kCrashers) {
        SCOPED_TRACE(std::string(c.plugin, c.plugin + wcslen(c.plugin)));
        SetStep(L"before");
        Probed p = ProbeCopy(dir, c.plugin);
        EXPECT_FALSE(p.returned);
        EXPECT_STREQ(g_failure.step, c.step);
        EXPECT_STREQ(g_failure.function, L"Load VST Plugin");
        EXPECT_STREQ(g_failure.failurePoint, L"Load VST Plugin");
        if (c.code) {
            EXPECT_EQ(LastGuardedExceptionCode(), c.code);
        }
        // Nothing after the fault ran: the module was not unloaded.
        EXPECT_NE(GetModuleHandleW(p.path.c_str()), nullptr);
        vst2_test::ReleaseLeftLoaded(p.path);
    }
}

TEST(Vst2Crashers, HeapCorruptionAfterACallIsThrownAsZero) {
    TempDir dir;
    std::wstring path = dir.Copy(sievo_test::PluginPath(L"heap_corruptor"), L"heap_corruptor.dll");
    InventoryRecord r = vst2_test::NewRecord(path);
    int thrown = -1;
    bool returned = RunGuarded([&] {
        try {
            LoadVst2Plugin(r, nullptr, nullptr);
        } catch (int value) {
            thrown = value;
        }
    });
    // Put the heap right before anything else allocates much.
    HMODULE module = GetModuleHandleW(path.c_str());
    ASSERT_NE(module, nullptr);
    auto repair = reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "RepairHeap")));
    ASSERT_NE(repair, nullptr);
    repair();
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, nullptr));

    EXPECT_TRUE(returned);
    EXPECT_EQ(thrown, 0);
    EXPECT_STREQ(g_failure.step, L" - HeapValidate: effOpen");
    FreeLibrary(module);
}

}  // namespace
