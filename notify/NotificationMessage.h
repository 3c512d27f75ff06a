// The notification message the host receives as WM_COPYDATA.
#pragma once

#include <windows.h>

// Builds the message from g_ctx (group, flag, host window) and sends it.
void SendHostNotification(int messageType, const wchar_t* text);
