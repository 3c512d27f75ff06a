#include "tools/testhost/HostOptions.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

namespace {

std::vector<std::wstring> Split(const std::wstring& text) {
    std::vector<std::wstring> args;
    if (text.find_first_not_of(L" \t") == std::wstring::npos) return args;
    int count = 0;
    // A dummy program name keeps CommandLineToArgvW from treating the first
    // option as one.
    std::wstring line = L"TestHost.exe " + text;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

// The text after the program's own name, quoted or not.
const wchar_t* SkipProgramName(const wchar_t* line) {
    if (*line == L'"') {
        const wchar_t* end = wcschr(line + 1, L'"');
        line = end ? end + 1 : line + wcslen(line);
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

}  // namespace

bool ParseHostOptions(const wchar_t* commandLine, HostOptions* options, std::wstring* error) {
    std::wstring rest = SkipProgramName(commandLine);
    std::wstring head = rest;
    size_t dashes = rest.find(L"--");
    while (dashes != std::wstring::npos) {
        bool alone =
            (dashes == 0 || rest[dashes - 1] == L' ') && (dashes + 2 == rest.size() || rest[dashes + 2] == L' ');
        if (alone) break;
        dashes = rest.find(L"--", dashes + 2);
    }
    if (dashes != std::wstring::npos) {
        head = rest.substr(0, dashes);
        size_t flags = dashes + 2;
        if (flags < rest.size() && rest[flags] == L' ') ++flags;
        options->sievoFlags = rest.substr(flags);
    }
    std::vector<std::wstring> args = Split(head);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        auto value = [&](std::wstring* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::wstring v;
        if (a == L"--report" && value(&v)) {
            options->reportPath = v;
        } else if (a == L"--lines" && value(&v)) {
            options->linesPath = v;
        } else if (a == L"--timeout" && value(&v)) {
            options->timeoutMs = static_cast<DWORD>(wcstoul(v.c_str(), nullptr, 10));
        } else if (a == L"--no-background") {
            options->background = false;
        } else if (a == L"--no-toast") {
            options->toast = false;
        } else if (a == L"--toast" && value(&v)) {
            options->toastText = v;
        } else if (a == L"--answer" && value(&v)) {
            options->answer = static_cast<LRESULT>(wcstoll(v.c_str(), nullptr, 0));
        } else if (a == L"--destroy-after" && value(&v)) {
            options->destroyAfter = _wtoi(v.c_str());
        } else if (a == L"--hwnd" && value(&v)) {
            if (v == L"self")
                options->hwnd = HwndMode::Self;
            else if (v == L"zero")
                options->hwnd = HwndMode::Zero;
            else if (v == L"gone")
                options->hwnd = HwndMode::Gone;
            else if (v == L"none")
                options->hwnd = HwndMode::None;
            else {
                *error = L"--hwnd takes self, zero, gone or none";
                return false;
            }
        } else {
            *error = L"unknown option or missing value: " + a;
            return false;
        }
    }
    return true;
}
