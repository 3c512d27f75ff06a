// The small modeless window of a visible scan: a status line and Cancel.
#pragma once

#include <windows.h>

#include "core/StatusLine.h"

// Creates dialog 113 (not shown); null when it cannot be created.
HWND CreateProgressWindow();
