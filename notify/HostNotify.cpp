#include "notify/HostNotify.h"

#include <cstdarg>
#include <strsafe.h>

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "diag/ScanLog.h"
#include "notify/NotificationMessage.h"

namespace {

void SendFormatted(int messageType, const wchar_t* format, va_list args) {
    if (!g_ctx.background || !format) return;
    wchar_t text[1024];
    StringCchVPrintfW(text, 1024, format, args);  // an over-long text is cut, not lost
    SendHostNotification(messageType, text);
}

}  // namespace

void NotifyHostById(int messageType, UINT stringId, ...) {
    if (!g_ctx.background) return;
    std::wstring format = LoadStr(stringId);
    va_list args;
    va_start(args, stringId);
    SendFormatted(messageType, format.c_str(), args);
    va_end(args);
}

void NotifyHostText(int messageType, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    SendFormatted(messageType, format, args);
    va_end(args);
}

void PostInventoryChange() {
    WriteLog(L"%s: Sending WM_PLUGIN_INVENTORY_CHANGE\r\n", kTag);
    PostMessageW(g_ctx.hostWindow, kInventoryChangeMessage, 0, 0);
}
