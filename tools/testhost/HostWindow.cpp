#include "tools/testhost/HostWindow.h"

#include <shlwapi.h>

#include "core/Win32Owners.h"
#include "notify/NotificationMessage.h"

namespace {

const HostOptions* g_options = nullptr;
HostRun* g_run = nullptr;
int g_notifications = 0;

constexpr wchar_t kClassName[] = L"SievoTestHostWindow";

void RecordPost(UINT message, WPARAM wParam, LPARAM lParam) {
    HostEvent e;
    e.kind = HostEvent::Kind::Post;
    e.message = message;
    e.wParam = wParam;
    e.lParam = lParam;
    e.afterNotify = g_notifications;
    g_run->events.push_back(e);
}

// Sievo posts and then sends: a sent message is handled before posted ones,
// so a post that came first may still wait in the queue. Sievo is blocked in
// its SendMessage now and cannot post more, so what waits came before.
void TakeWaitingPosts(HWND window) {
    MSG msg;
    while (PeekMessageW(&msg, window, WM_APP, 0xBFFF, PM_REMOVE)) RecordPost(msg.message, msg.wParam, msg.lParam);
}

void RecordNotification(HWND window, WPARAM wParam, const COPYDATASTRUCT* data) {
    TakeWaitingPosts(window);
    HostEvent e;
    e.kind = HostEvent::Kind::Notify;
    e.wParam = wParam;
    e.tag = data->dwData;
    e.bytes = data->cbData;
    if (data->lpData && data->cbData >= 8) CopyMemory(&e.sizeField, data->lpData, 8);
    ComPtr<IStream> stream;
    *stream.Put() = SHCreateMemStream(static_cast<const BYTE*>(data->lpData), data->cbData);
    CIpcNotificationMessage message;
    e.load = stream ? message.Load(stream.Get()) : E_OUTOFMEMORY;
    e.messageType = message.messageType;
    e.category = message.category;
    e.level = message.level;
    e.toastGuid = message.toastGuid;
    e.extra = message.extra;
    e.notifyFlag = message.notifyFlag;
    e.title = message.title;
    e.text = message.text;
    g_run->events.push_back(e);
    ++g_notifications;
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        RecordNotification(window, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        // Gone before Sievo's SendMessage returns: the next one finds no window.
        if (g_options->destroyAfter >= 0 && g_notifications >= g_options->destroyAfter) {
            DestroyWindow(window);
            return 0;
        }
        return g_options->answer;
    }
    if (message >= WM_APP && message <= 0xBFFF) {
        RecordPost(message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterHostClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

HWND CreateHostWindow(const HostOptions& options, HostRun* run) {
    g_options = &options;
    g_run = run;
    g_notifications = 0;
    if (!RegisterHostClass()) return nullptr;
    return CreateWindowExW(0, kClassName, L"Sievo Test Host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400,
                           200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND MakeDeadWindowHandle() {
    if (!RegisterHostClass()) return nullptr;
    HWND window = CreateWindowExW(0, kClassName, L"gone", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(window);
    return window;
}
