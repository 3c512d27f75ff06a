// What the test host received, written for tests: JSON (one object with the
// run and its events in order) and the same as readable lines.
#pragma once

#include <string>

#include "tools/testhost/HostEvent.h"

std::wstring GuidText(const GUID& guid);
bool WriteJsonReport(const std::wstring& path, const HostRun& run);
bool WriteLinesReport(const std::wstring& path, const HostRun& run);
