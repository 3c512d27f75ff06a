// VST 2 / VST 3 persist-compatibility lists of a record, in the registry.
#pragma once

#include <windows.h>

#include "core/InventoryRecord.h"

void WriteVSTPersistCompatData(HKEY recordKey, const wchar_t* subkeyName, const CompatList& entries);
void ReadVSTPersistCompatData(HKEY recordKey, const wchar_t* subkeyName, CompatList& entries);
