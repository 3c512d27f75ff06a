// The tokenizer splits only at "/" and keeps blanks: the host's flags must be
// written without blanks between them for exact matches to work.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

TEST(Tokenizer, SplitsAtSlashesAndKeepsBlanks) {
    const std::pair<const wchar_t*, std::vector<std::wstring>> cases[] = {
        {L"/Background/Log", {L"Background", L"Log"}},
        {L"/Log /Background", {L"Log ", L"Background"}},
        {L"lead/A", {L"lead", L"A"}},
        {L"//A///B/", {L"A", L"B"}},
        {L"", {}},
        {L"/ScanVst:\"C:\\a b\\x.dll\"/Log", {L"ScanVst:\"C:\\a b\\x.dll\"", L"Log"}},
    };
    for (const auto& [text, tokens] : cases) EXPECT_EQ(TokenizeCommandLine(text), tokens) << text;
}

}  // namespace
