// The command line: how the host (or a sandboxing parent) tells one run what
// to do and where the inventory lives.
#pragma once

#include <string>
#include <vector>

// Splits at every "/" the way the run's tokenizer does: blanks are kept, runs
// of "/" give no empty tokens, the text before the first "/" is a token.
std::vector<std::wstring> TokenizeCommandLine(const wchar_t* text);

// Converts the ANSI command line, logs it and applies every flag to g_ctx.
void ParseCommandLine(const char* ansiCommandLine);
