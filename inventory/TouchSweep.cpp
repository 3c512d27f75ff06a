#include "inventory/TouchSweep.h"
void ClearTouchFlags() {}
int DeleteUntouched() { return 0; }
int DeleteShellChildren(HKEY, const wchar_t*) { return 0; }
LONG EliminateSubkey(HKEY, const wchar_t*) { return 0; }
