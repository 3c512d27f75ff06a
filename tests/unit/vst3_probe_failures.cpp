// How the VST 3 probe leaves a module that fails or lies: the integer it
// throws, the log line with the code, the step label a report will show, the
// record as written so far, and nothing more called on the module. Also the
// modules whose answers are garbage or absurdly large.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "tests/plugins/vst3/ModuleCopy.h"

namespace {

using vst3_test::CountLines;
using vst3_test::ModuleCopy;
using vst3_test::RunProbe;

// The log is opened once for the whole executable; each test looks only at
// the lines written after it started.
class LogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitialize(nullptr);
        g_ctx.logEnabled = 1;
        OpenLog();
    }
    void TearDown() override { CloseLog(); }
};
const auto* const kLog = ::testing::AddGlobalTestEnvironment(new LogEnvironment);

class LogWatch {
public:
    LogWatch() : start_(sievo_test::ReadLogLines(g_ctx.logPath).size()) {}
    std::vector<std::wstring> NewLines() const {
        std::vector<std::wstring> all = sievo_test::ReadLogLines(g_ctx.logPath);
        return std::vector<std::wstring>(all.begin() + std::min(start_, all.size()), all.end());
    }

private:
    size_t start_;
};

bool HasLine(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return sievo_test::Contains(lines, line);
}

struct FailureCase {
    const wchar_t* module;
    const wchar_t* step;       // the step label left for the report
    const wchar_t* logLine;    // the line written for the failure
    uint32_t entryPointAfter;  // hasVstEntryPoint and isVst3 of the module record afterwards
    const char* lastTrace;     // the module's last trace line: nothing was called after it
};

const wchar_t kExceptionLine[] = L"SIEVO: Exception in function [Load VST3 Plugin], failure point[Load VST3 Plugin]";
const wchar_t kUnexpectedLine[] =
    L"SIEVO: Failure (8000ffff) in function [Load VST3 Plugin], failure point[Load VST3 Plugin]";

class Vst3ProbeFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Vst3ProbeFailure, ThrowsZeroLogsTheCodeAndLeavesTheModuleAlone) {
    const FailureCase& c = GetParam();
    ModuleCopy module(c.module);
    InventoryRecord r = module.Record();
    std::vector<InventoryRecord> shell;
    LogWatch log;

    auto out = RunProbe(r, &shell);

    ASSERT_TRUE(out.threw);
    EXPECT_EQ(out.thrown, 0);
    std::vector<std::wstring> lines = log.NewLines();
    EXPECT_TRUE(HasLine(lines, std::wstring(L"SIEVO: ---- Loading VST plugin ") + module.Path() + L" ----"));
    EXPECT_TRUE(HasLine(lines, c.logLine)) << "missing: " << sievo_test::Narrow(c.logLine);
    EXPECT_STREQ(g_failure.step, c.step);
    EXPECT_STREQ(g_failure.function, L"Load VST3 Plugin");
    EXPECT_EQ(r.hasVstEntryPoint, c.entryPointAfter);
    EXPECT_EQ(r.isVst3, c.entryPointAfter);
    EXPECT_TRUE(shell.empty());
    // Not freed, not told to exit, nothing released or terminated.
    EXPECT_NE(GetModuleHandleW(module.Path().c_str()), nullptr);
    std::vector<std::string> trace = module.Trace();
    if (c.lastTrace) {
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(trace.back(), c.lastTrace);
    } else {
        EXPECT_TRUE(trace.empty());
    }
    EXPECT_EQ(CountLines(trace, "ExitDll"), 0);
    EXPECT_EQ(CountLines(trace, "release factory"), 0);
    EXPECT_EQ(CountLines(trace, "terminate"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modules, Vst3ProbeFailure,
    ::testing::Values(
        FailureCase{L"no_factory_export", L"Get Proc Address", kUnexpectedLine, 0, "InitDll"},
        FailureCase{L"init_dll_false", L"Call initProc", kUnexpectedLine, 0, "InitDll"},
        FailureCase{L"null_factory", L"GetPluginFactory", kUnexpectedLine, 1, "GetPluginFactory"},
        FailureCase{L"null_component", L"createInstance IComponent", kUnexpectedLine, 1, "createInstance null"},
        FailureCase{L"null_audio_processor", L"queryInterface IAudioProcessor", kUnexpectedLine, 1,
                    "IAudioProcessor null"},
        FailureCase{L"zero_controller_id", L"component->getControllerClassId", kUnexpectedLine, 1,
                    "getControllerClassId zero"},
        FailureCase{L"initialize_fails", L"component->initialize",
                    L"SIEVO: Failure (80004005) in function [Load VST3 Plugin], failure point[Load VST3 Plugin]", 1,
                    "initialize component Broken Initialize"},
        FailureCase{L"crash_in_get_bus_info", L"getBusCount", kExceptionLine, 1, "getBusInfo crash"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return sievo_test::Narrow(info.param.module); });

TEST(Vst3ProbeFailures, RecordKeepsWhatWasWrittenBeforeTheFault) {
    ModuleCopy module(L"crash_in_get_bus_info");
    InventoryRecord r = module.Record();
    auto out = RunProbe(r);
    ASSERT_TRUE(out.threw);
    // Written before the buses were asked for...
    EXPECT_STREQ(r.FullName, L"Crashing Buses");
    EXPECT_STREQ(r.Subcategories, L"Fx");
    EXPECT_EQ(r.numClasses, 1u);
    EXPECT_EQ(r.factoryFlags, 16u);
    // ...and nothing of what comes after.
    EXPECT_EQ(r.vstVersion, 0u);
    EXPECT_EQ(r.cxEditor, 0u);
    EXPECT_STREQ(r.Vendor, L"");
}

TEST(Vst3ProbeFailures, MissingFileLogsTheSystemErrorAndReturnsZero) {
    sievo_test::TempDir dir;
    InventoryRecord r;
    lstrcpyW(r.FullPath, (dir.Path() + L"\\missing.vst3").c_str());
    LogWatch log;
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(r.hasVstEntryPoint, 0u);
    EXPECT_EQ(r.isVst3, 0u);
    EXPECT_STREQ(g_failure.step, L"Post Unload");
    bool found = false;
    for (const std::wstring& line : log.NewLines())
        if (line.rfind(L"hPlugin is NULL, plugin failed to load with error 7e, ", 0) == 0) found = true;
    EXPECT_TRUE(found);
}

TEST(Vst3ProbeFailures, FileThatIsNoDllReturnsZero) {
    sievo_test::TempDir dir;
    InventoryRecord r;
    lstrcpyW(r.FullPath, dir.Write(L"text.vst3", "this is not a module").c_str());
    LogWatch log;
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 0);
    bool found = false;
    for (const std::wstring& line : log.NewLines())
        if (line.rfind(L"hPlugin is NULL, plugin failed to load with error ", 0) == 0) found = true;
    EXPECT_TRUE(found);
}

TEST(Vst3ProbeBadInput, UnterminatedTextAndAbsurdCountsStayBounded) {
    ModuleCopy module(L"garbage_info");
    InventoryRecord r = module.Record();
    DWORD started = GetTickCount();
    auto out = RunProbe(r);
    DWORD took = GetTickCount() - started;
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 1);
    EXPECT_LT(took, 20000u);
    // Fixed-size fields without terminator: read to their end, no further.
    EXPECT_EQ(std::wstring(r.FullName), std::wstring(64, L'N'));
    EXPECT_EQ(std::wstring(r.Vendor), std::wstring(64, L'V'));
    EXPECT_EQ(std::wstring(r.Subcategories), L"Instrument|" + std::wstring(127 - 11, L'S'));
    EXPECT_EQ(r.isSynth, 1u);
    // A negative channel count adds nothing; a negative bus or parameter
    // count means none.
    EXPECT_EQ(r.numInputs, 0u);
    EXPECT_EQ(r.numOutputs, 0u);
    EXPECT_EQ(r.numParams, 0u);
    EXPECT_EQ(r.cyEditor, 0u);
    EXPECT_EQ(r.numPrograms, 0u);
    // 2^31-1 buses and units were asked for no more than the caps.
    std::vector<std::string> trace = module.Trace();
    EXPECT_EQ(CountLines(trace, "bus info calls 1024"), 1);
    EXPECT_EQ(CountLines(trace, "unit info calls 4096"), 1);
}

TEST(Vst3ProbeBadInput, AbsurdClassCountEndsAtTheCap) {
    ModuleCopy module(L"huge_class_count");
    InventoryRecord r = module.Record();
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(r.isVst3, 0u);
    EXPECT_EQ(r.numClasses, 2147483647u);
    // Traced once for each factory view released.
    EXPECT_EQ(CountLines(module.Trace(), "getClassInfo calls 4096"), 2);
}

TEST(Vst3ProbeBadInput, HostContextOutlivesAPluginThatOverReleasesIt) {
    ModuleCopy module(L"host_over_release");
    InventoryRecord r = module.Record();
    auto out = RunProbe(r);
    ASSERT_FALSE(out.threw);
    EXPECT_EQ(out.result, 1);
    EXPECT_EQ(CountLines(module.Trace(), "host name after over-release: Tarnwell Sievo"), 1);
}

}  // namespace
