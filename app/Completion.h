// The end of every scan run: the scan metrics beside the inventory and the
// final notifications.
#pragma once

#include <windows.h>

void WriteScanMetrics();
// Steps after the protected region.
int Complete();
