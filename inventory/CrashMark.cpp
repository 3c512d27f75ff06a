#include "inventory/CrashMark.h"

#include <cstdint>
#include <cstring>

#include "core/InventoryRecord.h"
#include "inventory/RegistryValues.h"

namespace {

constexpr wchar_t kMarkStatsValue[] = L"badModStats";
constexpr DWORD kStatsBytes = sizeof(InventoryRecord::modStats);

// Last-write time and the low 32 bits of the size, laid out as modStats.
bool CurrentStats(const wchar_t* path, uint8_t (&stats)[kStatsBytes]) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    memcpy(stats, &data.ftLastWriteTime, 8);
    memcpy(stats + 8, &data.nFileSizeLow, 4);
    return true;
}

}  // namespace

void WriteBadMark(HKEY recordKey, const wchar_t* path) {
    if (!recordKey) return;
    WriteDword(recordKey, L"isBad", 1);
    uint8_t stats[kStatsBytes];
    if (CurrentStats(path, stats)) WriteBinary(recordKey, kMarkStatsValue, stats, kStatsBytes);
}

bool MarkOutdated(HKEY recordKey, const wchar_t* path) {
    if (!recordKey) return false;
    uint8_t marked[kStatsBytes];
    uint8_t now[kStatsBytes];
    if (!ReadExact(recordKey, kMarkStatsValue, marked, kStatsBytes) &&
        !ReadExact(recordKey, L"modStats", marked, kStatsBytes))
        return false;
    return CurrentStats(path, now) && memcmp(marked, now, kStatsBytes) != 0;
}
