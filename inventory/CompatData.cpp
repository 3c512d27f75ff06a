#include "inventory/CompatData.h"

#include <strsafe.h>

#include <cstring>
#include <vector>

#include "core/Win32Owners.h"
#include "inventory/RegistryValues.h"

namespace {

constexpr DWORD kEnumNameChars = 520;
constexpr DWORD kNameBytes = 254;  // 126 characters and the terminator

// "paramMap": one little-endian (id, value) pair of 32-bit numbers per
// element, in ascending id order (the map's own order).
std::vector<BYTE> PackParamMap(const std::map<int32_t, int32_t>& map) {
    std::vector<BYTE> bytes;
    bytes.reserve(map.size() * 8);
    for (const auto& [id, value] : map) {
        uint32_t pair[2] = {static_cast<uint32_t>(id), static_cast<uint32_t>(value)};
        for (uint32_t word : pair)
            for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<BYTE>(word >> shift));
    }
    return bytes;
}

int32_t LittleEndian32(const BYTE* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

void ReadParamMap(HKEY key, std::map<int32_t, int32_t>& map) {
    DWORD size = 0;
    if (RegQueryValueExW(key, L"paramMap", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size < 8) return;
    std::vector<BYTE> bytes(size);
    if (RegQueryValueExW(key, L"paramMap", nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) return;
    for (DWORD at = 0; at + 8 <= size; at += 8) map[LittleEndian32(&bytes[at])] = LittleEndian32(&bytes[at + 4]);
}

void ReadName(HKEY key, wchar_t (&name)[128]) {
    wchar_t text[kNameBytes / sizeof(wchar_t) + 1] = {};
    DWORD size = kNameBytes;
    if (RegQueryValueExW(key, L"pluginName", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return;
    text[size / sizeof(wchar_t) < 127 ? size / sizeof(wchar_t) : 127] = 0;  // a value stored without terminator
    StringCchCopyW(name, 128, text);
}

}  // namespace

void WriteVSTPersistCompatData(HKEY recordKey, const wchar_t* subkeyName, const CompatList& entries) {
    if (entries.empty() || !subkeyName || !recordKey) return;
    RegKey list;
    if (list.Create(recordKey, subkeyName, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    for (const CompatEntry& entry : entries) {
        wchar_t uid[64];
        StringCchCopyW(uid, 64, entry.pluginUID);
        RegKey key;
        if (key.Create(list.Get(), uid, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        wchar_t name[128];
        StringCchCopyW(name, 128, entry.pluginName);
        WriteText(key.Get(), L"pluginName", name);
        WriteDword(key.Get(), L"pluginType", static_cast<DWORD>(entry.pluginType));
        WriteDword(key.Get(), L"replacementPolicy", static_cast<DWORD>(entry.replacementPolicy));
        if (!entry.paramMap.empty()) {
            std::vector<BYTE> packed = PackParamMap(entry.paramMap);
            WriteBinary(key.Get(), L"paramMap", packed.data(), static_cast<DWORD>(packed.size()));
        }
    }
}

void ReadVSTPersistCompatData(HKEY recordKey, const wchar_t* subkeyName, CompatList& entries) {
    if (!subkeyName) return;
    entries.clear();
    RegKey list;
    if (!recordKey || list.Open(recordKey, subkeyName, KEY_READ) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        wchar_t subName[kEnumNameChars] = {};
        DWORD nameChars = kEnumNameChars;
        if (RegEnumKeyExW(list.Get(), index, subName, &nameChars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        CompatEntry entry;
        StringCchCopyNW(entry.pluginUID, 64, subName, 63);
        RegKey key;
        if (key.Open(list.Get(), entry.pluginUID, KEY_READ) != ERROR_SUCCESS) break;
        ReadName(key.Get(), entry.pluginName);
        ReadDword(key.Get(), L"pluginType", &entry.pluginType);
        ReadDword(key.Get(), L"replacementPolicy", &entry.replacementPolicy);
        ReadParamMap(key.Get(), entry.paramMap);
        entries.push_back(entry);
    }
}
