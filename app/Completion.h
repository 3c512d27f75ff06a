// The end of every scan run: the flag that tells the host whether one of our
// dialogs is up, the scan metrics beside the inventory, and the final
// notifications.
#pragma once

#include <windows.h>

void SetGuiVisible(DWORD visible);
void WriteScanMetrics();
// Steps after the protected region; gdiplusToken is 0 when GDI+ never started.
int Complete(ULONG_PTR gdiplusToken);
