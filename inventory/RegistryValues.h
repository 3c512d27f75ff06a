// Typed registry reads and writes. A read never trusts what it finds: a value
// of the wrong size leaves the caller's field as it was.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// Raw bytes; true only when exactly `size` bytes are stored.
bool ReadExact(HKEY key, const wchar_t* name, void* data, DWORD size);

// A flag or count: a REG_DWORD, or a REG_BINARY of one to four bytes (read
// as a little-endian number). Anything else ("0" stored as text, a QWORD)
// is logged and leaves the field as it was: taking the raw bytes of a text
// would turn "0" into a non-zero flag.
bool ReadNumber(HKEY key, const wchar_t* name, uint32_t* out);

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
void WriteDword(HKEY key, const wchar_t* name, DWORD value);
void WriteText(HKEY key, const wchar_t* name, const wchar_t* text);
void WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size);
