// Typed registry reads and writes. A read never trusts what it finds: a value
// of the wrong size leaves the caller's field as it was.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Raw bytes; true only when exactly `size` bytes are stored.
bool ReadExact(HKEY key, const wchar_t* name, void* data, DWORD size);

// 32-bit value of exactly 4 bytes (the stored type is not checked).
template <class T>
bool ReadDword(HKEY key, const wchar_t* name, T* out) {
    static_assert(sizeof(T) == 4, "32-bit field");
    return ReadExact(key, name, out, 4);
}
// Text into a buffer of `chars` characters, always terminated; false (and the
// buffer unchanged) when missing or too large.
bool ReadText(HKEY key, const wchar_t* name, wchar_t* buffer, size_t chars);
void WriteDword(HKEY key, const wchar_t* name, DWORD value);
void WriteText(HKEY key, const wchar_t* name, const wchar_t* text);
void WriteBinary(HKEY key, const wchar_t* name, const void* data, DWORD size);
