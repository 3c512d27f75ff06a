// The notification message the host receives as WM_COPYDATA: a caption and
// one line of text, grouped by the scan's GUID, serialized with the
// persistence layer. The same class loads a received payload on the host side.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "notify/QelPersist.h"

// dwData of the WM_COPYDATA: the bytes "NTFY" in memory order.
constexpr ULONG_PTR kNotifyCopyDataTag = 0x5946544E;

class CNotificationMessage {
public:
    // The persistable face of the message: its data function moves the
    // message's fields.
    class CPersistObj : public CQelPersistObject {
    public:
        explicit CPersistObj(CNotificationMessage* message) : CQelPersistObject(0, 0, 0), message_(message) {}
        HRESULT STDMETHODCALLTYPE PersistData(WORD schema, CQelStreamIo& io) override;

    private:
        CNotificationMessage* message_;
    };

    CNotificationMessage() : persist(this) {}
    CNotificationMessage(const CNotificationMessage&) = delete;
    CNotificationMessage& operator=(const CNotificationMessage&) = delete;

    virtual HRESULT Send() = 0;
    virtual ~CNotificationMessage() = default;
    // Reads a payload chunk into the fields (the host's side).
    virtual HRESULT Load(IStream* stream);

    GUID toastGuid = {};
    DWORD extra = 0;
    LONG messageType = 0;
    LONG category = 0;
    LONG level = 0;
    DWORD notifyFlag = 1;
    std::wstring title;
    std::wstring text;
    // Present in every message, never persisted; this program leaves them as
    // they are.
    std::pair<int, int> anchor{-1, -1};
    std::pair<int, int> extent{-1, -1};
    std::vector<std::unique_ptr<CNotificationMessage>> actions;
    std::vector<std::unique_ptr<CNotificationMessage>> children;

    CPersistObj persist;
};

// A message delivered to the host window as one synchronous WM_COPYDATA.
class CIpcNotificationMessage : public CNotificationMessage {
public:
    explicit CIpcNotificationMessage(HWND hostWindow = nullptr, ULONG_PTR tag = kNotifyCopyDataTag)
        : hostWindow_(hostWindow), tag_(tag) {}
    // Any failure skips the message; the host's answer is not used.
    HRESULT Send() override;

private:
    HWND hostWindow_;
    ULONG_PTR tag_;
};

// Builds the message from g_ctx (group, flag, host window) and sends it; only
// in background mode with a host window.
void SendHostNotification(int messageType, const wchar_t* text);
