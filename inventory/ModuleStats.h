// The module-changed test: a module whose last-write time and size match the
// record's modStats is not loaded again.
#pragma once

#include "core/InventoryRecord.h"

// True when the module file differs from record.modStats. A record that is no
// plug-in, a file that cannot be opened or an empty file report no change.
// With `store`, the file's current time and size go into modStats.
bool ModuleChanged(InventoryRecord& record, bool store);
