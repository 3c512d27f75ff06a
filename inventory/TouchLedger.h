// What this scan itself knows of the records' "touch" marks. A scan that
// keeps its own account leaves the stored marks alone until the sweep, so an
// unchanged record whose mark already reads 1 costs no write at all; the sweep
// then takes every record this scan never marked as unmarked.
#pragma once

#include <windows.h>

#include <string>

enum class TouchSeen {
    No,      // not marked in this scan: counts as unmarked
    Zero,    // this scan stored 0
    One,     // this scan stored 1, or found 1 stored and left it
    Stored,  // another process marks it: the stored value decides
};

// Starts the account for one scan; ends when the sweep has used it.
void StartTouchLedger();
void EndTouchLedger();
bool TouchLedgerActive();

// "touch" as this scan has stored it in the record key `keyName`.
void NoteTouch(const wchar_t* keyName, DWORD touch);
// A child process writes this record and its sub-plug-in records: their
// marks are cleared now, as a cleared scan would have found them, and the
// sweep reads what the child stores.
void LeaveTouchToChild(const wchar_t* keyName);

TouchSeen SeenInThisScan(const std::wstring& keyName);
