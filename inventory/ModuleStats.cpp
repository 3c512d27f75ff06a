#include "inventory/ModuleStats.h"

#include "core/Win32Owners.h"

bool ModuleChanged(InventoryRecord& record, bool store) {
    if (!record.isVst && !record.isVst3 && !record.isInternal) return false;
    UniqueHandle file(CreateFileW(record.FullPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    ModStats now{};
    LARGE_INTEGER size{};
    if (!GetFileTime(file.Get(), nullptr, nullptr, &now.lastWrite) || !GetFileSizeEx(file.Get(), &size)) return false;
    now.size = static_cast<uint32_t>(size.LowPart);
    if (now.size == 0) return false;
    ModStats stored = GetModStats(record);
    bool changed = CompareFileTime(&now.lastWrite, &stored.lastWrite) != 0 || now.size != stored.size;
    if (store) SetModStats(record, now);
    return changed;
}
