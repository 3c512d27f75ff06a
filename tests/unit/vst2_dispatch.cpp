// The guarded dispatcher call and the probe's log: trace lines before and
// after every call, the step label it leaves, and the probe's own lines, read
// back from the real scan log.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "core/ScanContext.h"
#include "diag/ScanLog.h"
#include "vst2/GuardedDispatch.h"
#include "vst2_probe_support.h"

namespace {

using sievo_test::Contains;
using sievo_test::IndexOf;

intptr_t g_nextResult = 0;
intptr_t FakeDispatcher(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return g_nextResult;
}
intptr_t FaultingDispatcher(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    *static_cast<volatile int*>(nullptr) = 1;
    return 0;
}

// Opens the scan log for one test and hands back its lines at the end.
class LoggedTest : public ::testing::Test {
protected:
    // The logging component is an in-process COM server; COM stays up for
    // the whole test program, as it does for the scanner's run.
    static void SetUpTestSuite() { CoInitialize(nullptr); }

    void SetUp() override {
        sievo_test::DeleteLogs();
        g_ctx.logEnabled = 1;
        ASSERT_NE(OpenLog(), nullptr);
        effect_.magic = kEffectMagic;
        effect_.dispatcher = FakeDispatcher;
    }
    void TearDown() override {
        CloseLog();
        g_ctx.logEnabled = 0;
    }
    std::vector<std::wstring> Lines() {
        CloseLog();
        return sievo_test::ReadLogLines(g_ctx.logPath);
    }

    AEffect effect_{};
};

struct TraceCase {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    const wchar_t* name;
    intptr_t result;
    const wchar_t* before;
    const wchar_t* after;
    const wchar_t* step;
};

TEST_F(LoggedTest, TraceLinesAndStepLabel) {
    const TraceCase cases[] = {
        {51, 0, 0, reinterpret_cast<void*>(0x1234), 0.5f, L"effCanDo", 1,
         L"SIEVO: > dispatcher( effCanDo=51(effCanDo), 0, 0000000000000000, 0000000000001234, 0.500000 )",
         L"SIEVO: < dispatcher = 0000000000000001", L" - HeapValidate: effCanDo"},
        // The caller's name labels the trace; the step label takes the table name.
        {50, 5001, 0, nullptr, 0.0f, L"vendorQuery", 0xABCDEF,
         L"SIEVO: > dispatcher( vendorQuery=50(effVendorSpecific), 5001, 0000000000000000, 0000000000000000, "
         L"0.000000 )",
         L"SIEVO: < dispatcher = 0000000000ABCDEF", L" - HeapValidate: effVendorSpecific"},
        // Past the table: "Unknown" in the trace, the caller's name in the step label.
        {90, -3, 0x10, nullptr, 44100.0f, L"myQuery", -2,
         L"SIEVO: > dispatcher( myQuery=90(Unknown), -3, 0000000000000010, 0000000000000000, 44100.000000 )",
         L"SIEVO: < dispatcher = FFFFFFFFFFFFFFFE", L" - HeapValidate: myQuery"},
        {80, 0, -1, nullptr, 0.0f, nullptr, 0,
         L"SIEVO: > dispatcher( (null)=80(Unknown), 0, FFFFFFFFFFFFFFFF, 0000000000000000, 0.000000 )",
         L"SIEVO: < dispatcher = 0000000000000000", L" - HeapValidate: "},
        {79, 0, 0, nullptr, 0.0f, L"last", 0,
         L"SIEVO: > dispatcher( last=79(effGetNumMidiOutputChannels), 0, 0000000000000000, 0000000000000000, "
         L"0.000000 )",
         L"SIEVO: < dispatcher = 0000000000000000", L" - HeapValidate: effGetNumMidiOutputChannels"},
    };
    std::vector<std::wstring> steps;
    for (const TraceCase& c : cases) {
        SetStep(L"previous step");
        g_nextResult = c.result;
        EXPECT_EQ(GuardedDispatch(&effect_, c.opcode, c.index, c.value, c.ptr, c.opt, c.name), c.result);
        steps.push_back(g_failure.step);
    }
    std::vector<std::wstring> lines = Lines();
    int at = 0;
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(steps[i], cases[i].step);
        int before = IndexOf(lines, cases[i].before, at);
        ASSERT_GE(before, 0) << sievo_test::Narrow(cases[i].before);
        ASSERT_LT(before + 1, static_cast<int>(lines.size()));
        EXPECT_EQ(lines[before + 1], cases[i].after);
        at = before + 2;
    }
}

TEST_F(LoggedTest, FaultInsideTheDispatcherKeepsTheStepLabelOfTheCall) {
    effect_.dispatcher = FaultingDispatcher;
    SetStep(L"Open");
    EXPECT_FALSE(RunGuarded([&] { GuardedDispatch(&effect_, effOpen, 0, 0, nullptr, 0.0f, L"effOpen"); }));
    EXPECT_STREQ(g_failure.step, L"Open");
    std::vector<std::wstring> lines = Lines();
    EXPECT_TRUE(Contains(lines,
                         L"SIEVO: > dispatcher( effOpen=0(effOpen), 0, 0000000000000000, 0000000000000000, "
                         L"0.000000 )"));
    for (const std::wstring& line : lines) EXPECT_EQ(line.find(L"< dispatcher"), std::wstring::npos) << line;
}

TEST_F(LoggedTest, ProbeOfAnOrdinaryPluginLogsEachStageInOrder) {
    sievo_test::TempDir dir;
    vst2_test::Probed p = vst2_test::ProbeCopy(dir, L"effect_with_editor");
    ASSERT_TRUE(p.returned);
    std::vector<std::wstring> lines = Lines();
    const std::wstring expected[] = {
        L"SIEVO: ---- Loading VST plugin " + p.path + L" ----",
        L"SIEVO: DLL loaded successfully...",
        L"SIEVO: Successfully got entry point. DLL is a VST plugin...",
        L"SIEVO: Calling entry point...",
        L"SIEVO: Created plugin instance...",
        L"SIEVO: > dispatcher( effGetPlugCategory=35(effGetPlugCategory), 0, 0000000000000000, 0000000000000000, "
        L"0.000000 )",
        L"SIEVO: Checking Plugin properties...",
        L"SIEVO: > dispatcher( effOpen=0(effOpen), 0, 0000000000000000, 0000000000000000, 0.000000 )",
        L"SIEVO: > dispatcher( effGetProgram=3(effGetProgram), 0, 0000000000000000, 0000000000000000, 0.000000 )",
        L"SIEVO: > dispatcher( effSetSampleRate=10(effSetSampleRate), 0, 0000000000000000, 0000000000000000, "
        L"44100.000000 )",
        L"SIEVO: > dispatcher( effSetBlockSize=11(effSetBlockSize), 0, 0000000000000200, 0000000000000000, "
        L"0.000000 )",
        L"SIEVO: > dispatcher( effClose=1(effClose), 0, 0000000000000000, 0000000000000000, 0.000000 )",
        L"SIEVO: Finished checking plugin properties...",
        L"SIEVO: Unloading VST dll...",
    };
    int at = 0;
    for (const std::wstring& line : expected) {
        int found = IndexOf(lines, line, at);
        EXPECT_GE(found, at) << sievo_test::Narrow(line);
        if (found >= 0) at = found + 1;
    }
    // Three capability questions for "receive", one for "receiveVstTimeInfo", three for "send".
    int canDo = 0;
    for (const std::wstring& line : lines)
        if (line.find(L"> dispatcher( effCanDo=51(effCanDo)") != std::wstring::npos) ++canDo;
    EXPECT_EQ(canDo, 1 + 3 + 1 + 3);  // "noRealTime" first
    EXPECT_FALSE(Contains(lines, L"SIEVO: Plugin reported 'noRealTime'..."));
    EXPECT_STREQ(g_failure.step, L"Post Unload - HeapValidate");
}

TEST_F(LoggedTest, ProbeLinesForOtherOutcomes) {
    sievo_test::TempDir dir;
    vst2_test::Probed offline = vst2_test::ProbeCopy(dir, L"offline_norealtime");
    vst2_test::Probed strip = vst2_test::ProbeCopy(dir, L"stripdeck_private_only");
    vst2_test::Probed magic = vst2_test::ProbeCopy(dir, L"wrong_magic");
    InventoryRecord missing = vst2_test::NewRecord(dir.Path() + L"\\missing.dll");
    ASSERT_TRUE(RunGuarded([&] { LoadVst2Plugin(missing, nullptr, nullptr); }));
    std::vector<std::wstring> lines = Lines();

    EXPECT_TRUE(Contains(lines, L"SIEVO: Plugin reported 'noRealTime'..."));
    EXPECT_TRUE(Contains(lines, L"SIEVO: Internal stripdeck module detected..."));

    int magicStart = IndexOf(lines, L"SIEVO: ---- Loading VST plugin " + magic.path + L" ----");
    ASSERT_GE(magicStart, 0);
    int failed = IndexOf(lines, L"SIEVO: Failed to create VST plugin instance...", magicStart);
    EXPECT_GT(failed, magicStart);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Unloading VST dll...", magicStart), failed + 1);

    int missingStart = IndexOf(lines, std::wstring(L"SIEVO: ---- Loading VST plugin ") + missing.FullPath + L" ----");
    ASSERT_GE(missingStart, 0);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Normal DLL load failed, attempting to load with Gantry...", missingStart),
              missingStart + 1);
    // No bridge beside the test program.
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Load Gantry.DLL...", missingStart), missingStart + 2);
    EXPECT_EQ(IndexOf(lines, L"SIEVO: DLL load failed...", missingStart), missingStart + 3);
    int reason = missingStart + 4;
    ASSERT_LT(reason, static_cast<int>(lines.size()));
    EXPECT_EQ(lines[reason].rfind(L"hPlugin is NULL, plugin failed to load with error ", 0), 0u) << lines[reason];
    EXPECT_GT(IndexOf(lines, L"SIEVO: Failed to create VST plugin instance...", missingStart), missingStart);
    // Nothing was loaded, so nothing is unloaded.
    EXPECT_EQ(IndexOf(lines, L"SIEVO: Unloading VST dll...", missingStart), -1);
}

TEST(GuardedDispatchWithoutLog, StillCallsAndChecks) {
    AEffect effect{};
    effect.dispatcher = FakeDispatcher;
    g_nextResult = 77;
    SetStep(L"previous step");
    EXPECT_EQ(GuardedDispatch(&effect, effGetVendorString, 0, 0, nullptr, 0.0f, L"effGetVendorString"), 77);
    EXPECT_STREQ(g_failure.step, L" - HeapValidate: effGetVendorString");
}

}  // namespace
