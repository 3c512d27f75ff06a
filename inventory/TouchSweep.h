// Mark and sweep of inventory records: the marks are cleared before a full
// scan, every record the scan saw is marked again, and what stays unmarked is
// removed afterwards.
#pragma once

#include <windows.h>

void ClearTouchFlags();
// Before a full scan: the marks as the scan will need them cleared, either at
// once or, when this process marks every record itself, by its own account.
void StartTouchMarks();
// After a cancelled scan, which is not swept: removes the old marks the scan
// left standing, as clearing them at the start would have.
void ForgetUnseenMarks();
// Removes every untouched record key (with a shell's sub-plug-in keys);
// returns the number of plug-ins removed.
int DeleteUntouched();
// Removes the sub-plug-in keys "<shell>*..." of one shell; returns how many.
int DeleteShellChildren(HKEY inventoryKey, const wchar_t* shellKeyName);
// Deletes a key with everything below it; 0 when done or already gone.
LONG EliminateSubkey(HKEY parent, const wchar_t* name);
