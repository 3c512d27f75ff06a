// The test host's main window: it answers every WM_COPYDATA (with the answer
// the options ask for), decodes it, and records it and every posted message
// in the application range in the order they came.
#pragma once

#include <windows.h>

#include "tools/testhost/HostEvent.h"
#include "tools/testhost/HostOptions.h"

HWND CreateHostWindow(const HostOptions& options, HostRun* run);
// A window that existed and is gone: its handle answers nothing.
HWND MakeDeadWindowHandle();
