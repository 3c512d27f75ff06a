#include "inventory/RegistryValues.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "diag/ScanLog.h"

StoredValue QueryStored(HKEY key, const wchar_t* name, DWORD limit) {
    StoredValue v;
    v.data.assign(limit ? limit : 1, 0);
    v.size = limit;
    v.status = RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &v.size);
    v.data.resize(v.status == ERROR_SUCCESS ? v.size : 0);
    return v;
}

bool ExactFrom(const StoredValue& value, void* data, DWORD size) {
    if (value.status != ERROR_SUCCESS || value.size != size) return false;
    memcpy(data, value.data.data(), size);
    return true;
}

bool ReadExact(HKEY key, const wchar_t* name, void* data, DWORD size) {
    if (!key) return false;
    return ExactFrom(QueryStored(key, name, size), data, size);
}

bool TextFrom(const StoredValue& value, wchar_t* buffer, size_t chars) {
    if (!buffer || chars == 0 || value.status != ERROR_SUCCESS) return false;
    size_t got = value.size / sizeof(wchar_t);
    if (got >= chars) got = chars - 1;  // a value stored without terminator
    if (got) memcpy(buffer, value.data.data(), got * sizeof(wchar_t));
    buffer[got] = 0;
    return true;
}

bool ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    if (!key || !buffer || chars == 0) return false;
    return TextFrom(QueryStored(key, name, static_cast<DWORD>(chars * sizeof(wchar_t))), buffer, chars);
}

bool NumberFrom(const StoredValue& value, const wchar_t* name, uint32_t* out) {
    if (!out) return false;
    if (value.status == ERROR_FILE_NOT_FOUND) return false;
    DWORD type = value.type;
    DWORD cb = value.size;
    bool usable =
        value.status == ERROR_SUCCESS && ((type == REG_DWORD && cb == 4) || (type == REG_BINARY && cb >= 1 && cb <= 4));
    if (!usable) {
        WriteLog(L"%s: Registry value \"%s\" ignored: not a 32-bit number (type %d, %d bytes)\r\n", kTag, name,
                 static_cast<int>(type), static_cast<int>(cb));
        return false;
    }
    uint32_t result = 0;
    for (DWORD i = 0; i < cb; ++i) result |= static_cast<uint32_t>(value.data[i]) << (8 * i);
    *out = result;
    return true;
}

bool ReadNumber(HKEY key, const wchar_t* name, uint32_t* out) {
    if (!key || !out) return false;
    return NumberFrom(QueryStored(key, name, 8), name, out);
}

const StoredValue& StoredValues::Read(HKEY key, const wchar_t* name, DWORD limit) {
    StoredValue& v = values_[name];
    v = QueryStored(key, name, limit);
    return v;
}

void StoredValues::Set(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    auto it = values_.find(name);
    if (it != values_.end() && it->second.status == ERROR_SUCCESS && it->second.type == type &&
        it->second.size == size && memcmp(it->second.data.data(), data, size) == 0)
        return;
    if (RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
        if (it != values_.end()) values_.erase(it);
        return;
    }
    StoredValue& v = values_[name];
    v.status = ERROR_SUCCESS;
    v.type = type;
    v.size = size;
    v.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
}

void StoredValues::Delete(HKEY key, const wchar_t* name) {
    auto it = values_.find(name);
    if (it != values_.end() && it->second.status == ERROR_FILE_NOT_FOUND) return;
    LONG rc = RegDeleteValueW(key, name);
    StoredValue& v = values_[name];
    v = StoredValue{};
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) values_.erase(name);
}

void WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void WriteText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD cb = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), cb);
}

void WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size) {
    RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[520];  // more than a key name can hold
        DWORD chars = ARRAYSIZE(name);
        LONG rc = RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        names.emplace_back(name, chars);
    }
    return names;
}
