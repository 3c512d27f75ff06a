// Typed registry reads and writes. A read never trusts what it finds: a value
// of the wrong size leaves the caller's field as it was.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// One value as a query found it: the query's result, the type and the size it
// reported, and the bytes when it succeeded.
struct StoredValue {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::vector<BYTE> data;
};

// Queries one value into a buffer of `limit` bytes.
StoredValue QueryStored(HKEY key, const wchar_t* name, DWORD limit);

// The values of one key as read, so that a later write of the same type and
// bytes can be left out: the key then already holds exactly that. Every write
// through it is remembered too; a write past it makes it stale (Forget).
class StoredValues {
public:
    const StoredValue& Read(HKEY key, const wchar_t* name, DWORD limit);
    void Set(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size);
    void SetDword(HKEY key, const wchar_t* name, DWORD value) { Set(key, name, REG_DWORD, &value, sizeof value); }
    void Delete(HKEY key, const wchar_t* name);
    void Forget() { values_.clear(); }

private:
    std::map<std::wstring, StoredValue> values_;
};

// Raw bytes; true only when exactly `size` bytes are stored.
bool ReadExact(HKEY key, const wchar_t* name, void* data, DWORD size);

// A flag or count: a REG_DWORD, or a REG_BINARY of one to four bytes (read
// as a little-endian number). Anything else ("0" stored as text, a QWORD)
// is logged and leaves the field as it was: taking the raw bytes of a text
// would turn "0" into a non-zero flag.
bool ReadNumber(HKEY key, const wchar_t* name, uint32_t* out);
// The same rules over a value already queried (with a limit of 8 bytes).
bool NumberFrom(const StoredValue& value, const wchar_t* name, uint32_t* out);

template <class T>
bool ReadDword(HKEY key, const wchar_t* name, T* out) {
    static_assert(sizeof(T) == 4, "32-bit field");
    uint32_t value = 0;
    if (!ReadNumber(key, name, &value)) return false;
    memcpy(out, &value, 4);
    return true;
}
// Text into a buffer of `chars` characters, always terminated; false (and the
// buffer unchanged) when missing or too large.
bool ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t chars);
// ReadText and ReadExact over a value queried with a limit of chars * 2 or
// `size` bytes.
bool TextFrom(const StoredValue& value, wchar_t* buffer, size_t chars);
bool ExactFrom(const StoredValue& value, void* data, DWORD size);
void WriteDword(HKEY key, const wchar_t* name, DWORD value);
void WriteText(HKEY key, const wchar_t* name, const wchar_t* text);
void WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size);
// Names of a key's subkeys, in enumeration order (a snapshot: the caller may
// delete or change keys while it walks them).
std::vector<std::wstring> SubkeyNames(HKEY key);
