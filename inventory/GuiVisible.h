// "SievoGUIVisible" under the configuration key: 1 while a window of the
// scanner is up, so the host does not take the foreground from it.
#pragma once

#include <windows.h>

void SetGuiVisible(DWORD visible);
