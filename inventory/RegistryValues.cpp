#include "inventory/RegistryValues.h"

#include <cstdint>
#include <cwchar>
#include <vector>

#include "diag/ScanLog.h"

bool ReadExact(HKEY key, const wchar_t* name, void* data, DWORD size) {
    if (!key) return false;
    std::vector<BYTE> tmp(size ? size : 1);
    DWORD cb = size;
    if (RegQueryValueExW(key, name, nullptr, nullptr, tmp.data(), &cb) != ERROR_SUCCESS || cb != size) return false;
    memcpy(data, tmp.data(), size);
    return true;
}

bool ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t chars) {
    if (!key || !buffer || chars == 0) return false;
    std::vector<wchar_t> tmp(chars + 1, 0);
    DWORD cb = static_cast<DWORD>(chars * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(tmp.data()), &cb) != ERROR_SUCCESS)
        return false;
    size_t got = cb / sizeof(wchar_t);
    if (got >= chars) got = chars - 1;  // a value stored without terminator
    tmp[got] = 0;
    wmemcpy(buffer, tmp.data(), got + 1);
    return true;
}

bool ReadNumber(HKEY key, const wchar_t* name, uint32_t* out) {
    if (!key || !out) return false;
    BYTE data[8] = {};
    DWORD cb = sizeof data;
    DWORD type = REG_NONE;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, data, &cb);
    if (rc == ERROR_FILE_NOT_FOUND) return false;
    bool usable = rc == ERROR_SUCCESS && ((type == REG_DWORD && cb == 4) || (type == REG_BINARY && cb >= 1 && cb <= 4));
    if (!usable) {
        WriteLog(L"%s: Registry value \"%s\" ignored: not a 32-bit number (type %d, %d bytes)\r\n", kTag, name,
                 static_cast<int>(type), static_cast<int>(cb));
        return false;
    }
    uint32_t value = 0;
    for (DWORD i = 0; i < cb; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
    *out = value;
    return true;
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
