#include "diag/ScanLog.h"

#include <shlobj.h>
#include <strsafe.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "core/ComApartment.h"
#include "core/ScanContext.h"
#include "diag/QelLoggerApi.h"

namespace {

IQelLogger* Logger() {
    return static_cast<IQelLogger*>(g_ctx.logger);
}

void ChooseLogPath() {
    g_ctx.logPath[0] = 0;
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        StringCchCopyW(g_ctx.logPath, kPathChars, folder);
        StringCchCatW(g_ctx.logPath, kPathChars, L"\\Tarnwell\\Logs");
        CreateDirectoryW(g_ctx.logPath, nullptr);
        StringCchCatW(g_ctx.logPath, kPathChars, g_ctx.singlePluginMode ? L"\\SievoSandbox.log" : L"\\Sievo.log");
        return;
    }
    // No application-data folder: the log lies beside the program.
    GetModuleFileNameW(nullptr, g_ctx.logPath, kPathChars);
    g_ctx.logPath[kPathChars - 1] = 0;
    if (wchar_t* ext = wcsstr(g_ctx.logPath, L".exe")) wmemcpy(ext, L".log", 4);
}

HRESULT CreateLogger(IQelLogger** out) {
    EnsureComOnThread();
    HRESULT hr =
        CoCreateInstance(CLSID_QelLogger, nullptr, CLSCTX_INPROC_SERVER, IID_IQelLogger, reinterpret_cast<void**>(out));
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_NOTINITIALIZED || hr == REGDB_E_READREGDB) {
        if (SUCCEEDED(RegisterBuiltInQelLogger()))
            hr = CoCreateInstance(CLSID_QelLogger, nullptr, CLSCTX_INPROC_SERVER, IID_IQelLogger,
                                  reinterpret_cast<void**>(out));
    }
    return hr;
}

}  // namespace

IUnknown* OpenLog() {
    if (!g_ctx.logger) {
        ChooseLogPath();
        IQelLogger* logger = nullptr;
        if (FAILED(CreateLogger(&logger)) || !logger) return nullptr;
        size_t chars = wcslen(g_ctx.logPath) + 1;
        wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, chars * sizeof(wchar_t)));
        if (!copy) {
            logger->Release();
            return nullptr;
        }
        StringCchCopyW(copy, chars, g_ctx.logPath);
        if (logger->Open(copy, kQelLogModeScan) < 0) {
            logger->Release();
        } else {
            logger->Start();
            g_ctx.logger = logger;
        }
        HeapFree(GetProcessHeap(), 0, copy);
    }
    WriteLog(L"Opened Log File -----------------------------\r\n");
    return g_ctx.logger;
}

void WriteLog(const wchar_t* format, ...) {
    IQelLogger* logger = Logger();
    if (!logger || !format) return;
    wchar_t line[kLogLineChars];
    va_list args;
    va_start(args, format);
    // Microsoft's formatting rules (%s is a wide string in a wide format); a
    // line that does not fit comes back cut and terminated, and is kept.
    StringCchVPrintfW(line, kLogLineChars, format, args);
    va_end(args);
    logger->WriteLine(0, 0, line);
}

void CloseLog() {
    if (IQelLogger* logger = Logger()) {
        logger->Close();
        logger->Release();
        g_ctx.logger = nullptr;
    }
}
