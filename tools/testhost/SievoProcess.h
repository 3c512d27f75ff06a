// Starting Sievo.exe the way the host does, with an exact command line.
#pragma once

#include <windows.h>

#include <string>

#include "tools/testhost/HostOptions.h"

// "<folder of this program>\Sievo.exe" /Background/ZENTAPID:<pid>/ZENTAHWND:<hwnd>/ToastGuid:{...}<flags>,
// leaving out what the options leave out. hostWindowArg is the value passed.
std::wstring SievoCommandLine(const HostOptions& options, LONG hostWindowArg, const std::wstring& toastGuid);

// CreateProcessW with the command line as it is; the process handle, or null.
HANDLE StartSievo(const std::wstring& commandLine);
