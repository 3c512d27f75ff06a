// The crash marker of a record and the file it was set for: a module whose
// file has changed since it was marked may have been fixed by an update.
#pragma once

#include <windows.h>

// "isBad" = 1, with the module file's time and size at this moment.
void WriteBadMark(HKEY recordKey, const wchar_t* path);
// A marked module whose file differs from the one it was marked for. A mark
// from before the statistics were kept with it is held against the record's
// own modStats.
bool MarkOutdated(HKEY recordKey, const wchar_t* path);
