// The host callback as plug-ins see it: a test plug-in asks every question
// while it is created (and its id again while it is opened) and writes the
// answers beside itself; the probe runs it like any other plug-in.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "vst2_probe_support.h"

namespace {

using sievo_test::TempDir;

std::map<std::string, std::string> ReadAnswers(const std::wstring& path) {
    std::map<std::string, std::string> answers;
    std::ifstream in(sievo_test::Narrow(path).c_str());
    std::string line;
    while (std::getline(in, line)) {
        size_t blank = line.find(' ');
        if (blank != std::string::npos) answers[line.substr(0, blank)] = line.substr(blank + 1);
    }
    return answers;
}

class HostCallbackAnswers : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        probed_ = new vst2_test::Probed(vst2_test::ProbeCopy(*dir_, L"host_answer_recorder"));
        functionAfterProbe_ = g_failure.function;
        answers_ = ReadAnswers(probed_->path + L".answers");
    }
    static void TearDownTestSuite() {
        delete probed_;
        delete dir_;
    }
    static const std::string& Answer(const char* key) {
        static const std::string missing = "(not asked)";
        auto it = answers_.find(key);
        return it == answers_.end() ? missing : it->second;
    }

    static TempDir* dir_;
    static vst2_test::Probed* probed_;
    static std::wstring functionAfterProbe_;
    static std::map<std::string, std::string> answers_;
};

TempDir* HostCallbackAnswers::dir_ = nullptr;
vst2_test::Probed* HostCallbackAnswers::probed_ = nullptr;
std::wstring HostCallbackAnswers::functionAfterProbe_;
std::map<std::string, std::string> HostCallbackAnswers::answers_;

TEST_F(HostCallbackAnswers, FixedAnswersByOpcode) {
    ASSERT_TRUE(probed_->returned);
    ASSERT_FALSE(answers_.empty());
    const struct {
        const char* key;
        const char* answer;
    } table[] = {
        {"op1", "2400"},
        {"op8", "1"},
        {"op10", "1200000"},
        {"op11", "1024"},
        {"op16", "44100"},
        {"op17", "512"},
        {"op23", "2"},
        {"op34", "4"},
        {"op6", "0"},
        {"op35.256", "1"},
        {"op35.255", "0"},
        {"op35.0", "0"},
        {"op37.null", "0"},
        {"op32", "1"},
        {"op32.text", "Quenlar"},
        {"op33", "1"},
        {"op33.text", "Tarnwell VST 4.5"},
    };
    for (const auto& row : table) EXPECT_EQ(Answer(row.key), row.answer) << row.key;
}

TEST_F(HostCallbackAnswers, EverythingElseAnswersZero) {
    const char* const zero[] = {"op0",  "op3",  "op4",  "op5",  "op9",  "op12", "op13", "op14",  "op15", "op18",
                                "op19", "op20", "op21", "op22", "op24", "op25", "op26", "op27",  "op28", "op29",
                                "op30", "op31", "op36", "op38", "op39", "op40", "op41", "op42",  "op43", "op44",
                                "op45", "op47", "op48", "op49", "op50", "op99", "op-1", "op-100"};
    for (const char* key : zero) EXPECT_EQ(Answer(key), "0") << key;
}

TEST_F(HostCallbackAnswers, Capabilities) {
    const struct {
        const char* key;
        const char* answer;
    } table[] = {
        {"canDo.sendVstTimeInfo", "1"},  {"canDo.SENDVSTTIMEINFO", "1"}, {"canDo.sendvsttimeinfo", "1"},
        {"canDo.shellCategory", "1"},    {"canDo.ShellCategory", "0"},   {"canDo.SHELLCATEGORY", "0"},
        {"canDo.receiveVstEvents", "0"}, {"canDo.sendVstEvents", "0"},   {"canDo.supplyIdle", "0"},
        {"canDo.sizeWindow", "0"},       {"canDo.(empty)", "0"},
    };
    for (const auto& row : table) EXPECT_EQ(Answer(row.key), row.answer) << row.key;
}

TEST_F(HostCallbackAnswers, TimeInfoIsAStoppedTransportRefilledOnEveryRequest) {
    const struct {
        const char* key;
        const char* answer;
    } table[] = {
        {"time.samplePos", "0"},
        {"time.sampleRate", "44100"},
        {"time.nanoSeconds", "0"},
        {"time.ppqPos", "0"},
        {"time.tempo", "120"},
        {"time.barStartPos", "0"},
        {"time.timeSigNumerator", "4"},
        {"time.timeSigDenominator", "4"},
        {"time.smpteFrameRate", "0"},
        {"time.flags", "9984"},  // 0x2700: nanos, ppq, tempo and time signature valid
        {"time.sameAddress", "1"},
        {"time.again.tempo", "120"},
        {"time.again.ppqPos", "0"},
        {"time.again.flags", "9984"},
        {"time.again.samplesToNextClock", "0"},
    };
    for (const auto& row : table) EXPECT_EQ(Answer(row.key), row.answer) << row.key;
}

TEST_F(HostCallbackAnswers, CurrentIdIsZeroWhileCreatedAndTheOwnIdWhileOpened) {
    EXPECT_EQ(Answer("currentId.create"), "0");
    EXPECT_EQ(Answer("currentId.open"), std::to_string(0x52435244));
}

TEST_F(HostCallbackAnswers, WantMidiMarksTheRecordAndTheCallbackNamesItself) {
    EXPECT_EQ(probed_->record.wantEvents, 1u);
    // The plug-in declares no "receive" capability: only audioMasterWantMidi can have set it.
    EXPECT_EQ(functionAfterProbe_, L"EffectMaster");
}

TEST(HostCallbackUnused, FunctionLabelStaysWithTheProbeWhenNeverCalled) {
    TempDir dir;
    vst2_test::Probed p = vst2_test::ProbeCopy(dir, L"effect_with_editor");
    ASSERT_TRUE(p.returned);
    EXPECT_STREQ(g_failure.function, L"Load VST Plugin");
    EXPECT_EQ(p.record.wantEvents, 0u);
}

}  // namespace
