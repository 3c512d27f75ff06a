// The two calls through which the scan tells the host what it is doing. They
// reach the host only in background mode with a host window; otherwise they
// do nothing.
#pragma once

#include <windows.h>

constexpr int kNotifyProgress = 0;
constexpr int kNotifyPluginError = 2;

// The inventory-change message: the host rebuilds its plug-in menus.
constexpr UINT kInventoryChangeMessage = WM_APP + 0x82;

void NotifyHostById(int messageType, UINT stringId, ...);
void NotifyHostText(int messageType, const wchar_t* format, ...);

// Logs and posts the inventory-change message to the host window.
void PostInventoryChange();
