// Reads one of a component's persist-compatibility lists while it is being
// scanned, into the entries an inventory record keeps.
#pragma once

#include "core/InventoryRecord.h"
#include "vst3/PersistCompatApi.h"

// Bounds on what a plug-in's counts can make the reader do.
constexpr Steinberg::int32 kMaxCompatEntries = 4096;
constexpr Steinberg::int32 kMaxMappableParameterScan = 65536;

// Appends the entries of type 2 or 3 that name a plug-in UID. The ids of the
// controller's automatable parameters (neither read-only nor program change)
// are offered to the list's parameter mapping. False when there is no list or
// it reports no entries.
bool ReadCompatibilityList(Tarnwell::IVstCompatibilityList* list, Steinberg::Vst::IEditController* controller,
                           CompatList& entries);
