// Scan folders as users write them into "Paths": with doubled or forward
// separators, "." and "..", a trailing backslash, a relative name, or a
// folder that is not there. Each becomes one full path before the walk, so a
// module gets one record key however its folder was spelled.
#pragma once

#include <string>
#include <vector>

// Full, lower-case form of `folder` without a trailing backslash (a drive
// root keeps its "\"), or empty for a folder that is not a full path (it
// would be resolved against whatever the working folder happens to be).
std::wstring NormaliseScanFolder(const std::wstring& folder);

// Normalises every folder in place, in order; drops relative folders and
// logs them and every folder that does not exist. Two spellings of one
// folder become the same path, so its modules meet the same record keys.
void NormaliseScanFolders(std::vector<std::wstring>& folders);
