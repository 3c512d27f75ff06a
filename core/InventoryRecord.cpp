#include "core/InventoryRecord.h"

#include <cstring>

bool CompatEntry::operator==(const CompatEntry& o) const {
    return pluginType == o.pluginType && replacementPolicy == o.replacementPolicy &&
           memcmp(pluginUID, o.pluginUID, sizeof pluginUID) == 0 &&
           memcmp(pluginName, o.pluginName, sizeof pluginName) == 0 && paramMap == o.paramMap;
}

bool InventoryRecord::SameAs(const InventoryRecord& o) const {
    return memcmp(static_cast<const InventoryFields*>(this), static_cast<const InventoryFields*>(&o),
                  sizeof(InventoryFields)) == 0 &&
           forwardCompatible == o.forwardCompatible && backwardsCompatible == o.backwardsCompatible;
}

ModStats GetModStats(const InventoryRecord& r) {
    ModStats s;
    memcpy(&s.lastWrite, r.modStats, 8);
    memcpy(&s.size, r.modStats + 8, 4);
    return s;
}

void SetModStats(InventoryRecord& r, const ModStats& s) {
    memcpy(r.modStats, &s.lastWrite, 8);
    memcpy(r.modStats + 8, &s.size, 4);
}
