// The questions the probe asks one created VST 2 instance, from effOpen to
// effClose, and how the answers fill its InventoryRecord. An ordinary plug-in
// is interrogated once; each sub-plug-in of a shell once on a record of its own.
#pragma once

#include <vector>

#include "core/InventoryRecord.h"
#include "vst2/Vst2Session.h"

// Opens, interrogates and closes `effect`; the current plug-in id is the id
// recorded. Appends a copy of the record to `subRecords` for a shell.
void InterrogateVst2Instance(AEffect* effect, InventoryRecord& record, Vst2Session& session,
                             std::vector<InventoryRecord>* subRecords);
