// Sending a notification: the message saved into a memory stream, the bytes
// handed to the host window in one synchronous WM_COPYDATA.
#include <shlwapi.h>

#include <new>
#include <vector>

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "notify/HostNotify.h"
#include "notify/NotificationMessage.h"

HRESULT CIpcNotificationMessage::Send() {
    if (!hostWindow_) return E_HANDLE;
    ComPtr<IStream> stream;
    *stream.Put() = SHCreateMemStream(nullptr, 0);
    if (!stream) return E_OUTOFMEMORY;
    HRESULT hr = persist.Save(stream.Get(), TRUE);
    if (FAILED(hr)) return hr;
    ULARGE_INTEGER size{};
    if (FAILED(hr = IStream_Size(stream.Get(), &size))) return hr;
    if (size.QuadPart == 0 || size.QuadPart > 0x7FFFFFFF) return E_UNEXPECTED;
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    if (FAILED(hr = IStream_Reset(stream.Get()))) return hr;
    if (FAILED(hr = IStream_Read(stream.Get(), bytes.data(), static_cast<ULONG>(bytes.size())))) return hr;

    COPYDATASTRUCT data{};
    data.dwData = tag_;
    data.cbData = static_cast<DWORD>(bytes.size());
    data.lpData = bytes.data();
    SendMessageW(hostWindow_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    return S_OK;
}

void SendHostNotification(int messageType, const wchar_t* text) {
    if (!g_ctx.background || !g_ctx.hostWindow || !text) return;
    try {
        CIpcNotificationMessage message(g_ctx.hostWindow);
        message.messageType = messageType;
        message.category = 3;
        message.level = 0;
        message.extra = 0;
        message.toastGuid = g_ctx.toastGuid;
        message.notifyFlag = g_ctx.notifyFlag;
        message.title = LoadStr(IDS_NOTIFY_TITLE);
        message.text = text;
        message.Send();
    } catch (const std::bad_alloc&) {
        // Out of memory: the notification is lost, the scan goes on.
    }
}
