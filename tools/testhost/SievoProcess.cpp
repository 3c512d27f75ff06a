#include "tools/testhost/SievoProcess.h"

#include <shlwapi.h>

namespace {

std::wstring SievoPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return std::wstring(path) + L"\\Sievo.exe";
}

}  // namespace

std::wstring SievoCommandLine(const HostOptions& options, LONG hostWindowArg, const std::wstring& toastGuid) {
    std::wstring line = L"\"" + SievoPath() + L"\" ";
    if (options.background) line += L"/Background";
    line += L"/ZENTAPID:" + std::to_wstring(GetCurrentProcessId());
    if (options.hwnd != HwndMode::None) line += L"/ZENTAHWND:" + std::to_wstring(hostWindowArg);
    if (!toastGuid.empty()) line += L"/ToastGuid:" + toastGuid;
    return line + options.sievoFlags;
}

HANDLE StartSievo(const std::wstring& commandLine) {
    std::wstring exe = SievoPath();
    std::wstring writable = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), &writable[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}
