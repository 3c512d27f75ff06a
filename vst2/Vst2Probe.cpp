#include "vst2/Vst2Probe.h"

#include "app/Win32Owners.h"
#include "inventory/ModuleStats.h"

// Until the interrogation exists a module is only loaded and freed: it stays
// recorded as "not a plug-in".
DWORD LoadVst2Plugin(InventoryRecord& record, std::vector<InventoryRecord>*, HWND) {
    UniqueModule module(LoadLibraryW(record.FullPath));
    module.Reset();
    ModuleChanged(record, true);
    return 0;
}
