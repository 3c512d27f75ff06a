// Strings a plug-in hands over as 8-bit text (VST 2 answers in our 1024-byte
// buffers, VST 3 plain class information): UTF-8 or ANSI, possibly filling
// the buffer without a terminator.
#pragma once

#include <cstddef>

constexpr size_t kPluginTextBytes = 1024;

// `length` bytes of `text`: as UTF-8 when they are valid UTF-8 and not plain
// ASCII, else from the ANSI code page. Writes at most outChars - 1 characters
// and the terminator; returns the characters written.
size_t DecodePluginText(const char* text, size_t length, wchar_t* out, size_t outChars);

// Decodes the answer in `buffer` (at most kPluginTextBytes bytes, read no
// further) into `field`, cut to fit and terminated.
// With `cutBridgeSuffix`, an answer longer than four characters that ends in
// " (0)" loses that suffix. An empty answer leaves `field` as it was.
void StorePluginText(const char* buffer, bool cutBridgeSuffix, wchar_t* field, size_t fieldChars);
