#include "vst3/Vst3Probe.h"

#include "app/Win32Owners.h"
#include "inventory/ModuleStats.h"

// Until the factory walk exists a module is only loaded and freed.
int LoadVst3Plugin(InventoryRecord& record, std::vector<InventoryRecord>*, HWND) {
    UniqueModule module(LoadLibraryW(record.FullPath));
    module.Reset();
    ModuleChanged(record, true);
    return 0;
}
