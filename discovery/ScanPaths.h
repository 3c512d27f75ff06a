// Turns one scan folder into candidate module files: every "*.dll" (outside
// VST 3 folders) and every "*.vst3", subfolders first.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Walks `folder` (a trailing backslash is removed from the caller's string)
// and appends to `candidates`; returns the number added. The progress window,
// when given, shows the folders being searched, at most every 200 ms.
DWORD GetVstPaths(std::wstring& folder, std::vector<std::wstring>& candidates, HWND progress);
