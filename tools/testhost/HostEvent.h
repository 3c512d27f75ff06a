// One thing the test host received from Sievo, in arrival order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct HostEvent {
    enum class Kind { Notify, Post };
    Kind kind = Kind::Notify;

    // A WM_COPYDATA, decoded with the notification's own loading code.
    WPARAM wParam = 0;
    ULONG_PTR tag = 0;
    DWORD bytes = 0;
    ULONGLONG sizeField = 0;  // the payload's first eight bytes
    HRESULT load = E_FAIL;
    LONG messageType = 0;
    LONG category = 0;
    LONG level = 0;
    GUID toastGuid = {};
    DWORD extra = 0;
    DWORD notifyFlag = 0;
    std::wstring title;
    std::wstring text;

    // A posted message in the application range (the inventory change).
    UINT message = 0;
    LPARAM lParam = 0;
    int afterNotify = 0;  // notifications received before it
};

struct HostRun {
    std::wstring sievoCommandLine;
    LONG hostWindow = 0;  // as passed on the command line
    std::wstring toastGuid;
    bool started = false;
    bool timedOut = false;
    DWORD sievoExitCode = 0xFFFFFFFF;
    std::vector<HostEvent> events;
};
