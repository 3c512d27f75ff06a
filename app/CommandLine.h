// The command line: how the host (or a sandboxing parent) tells one run what
// to do and where the inventory lives.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Splits at every "/" the way the run's tokenizer does: blanks are kept, runs
// of "/" give no empty tokens, the text before the first "/" is a token.
std::vector<std::wstring> TokenizeCommandLine(const wchar_t* text);

// The text after the program's name in the wide command line. Paths to
// plug-ins come through in full, whatever code page the system uses.
const wchar_t* ArgumentsOf(const wchar_t* fullCommandLine);

// Logs the arguments and applies every flag to g_ctx.
void ParseCommandLine(const wchar_t* arguments);

// True when a flag's argument cannot be used (an empty /VSTRegKey:); the run
// then ends with kExitInvalidArguments and writes nothing.
bool InvalidArguments();
constexpr int kExitInvalidArguments = 87;  // ERROR_INVALID_PARAMETER

// With /ScanWorker: the pipe this run serves as a sandbox worker; else null.
HANDLE WorkerPipe();

// The module of a single-plug-in run, as /ScanVst: gives it or a sandbox
// worker receives it: logged, then taken in its long form.
void SetSinglePluginPath(const wchar_t* path);
