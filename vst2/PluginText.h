// Strings a VST 2 plug-in writes into our 1024-byte buffers: ANSI text that
// may fill the buffer without a terminator.
#pragma once

#include <cstddef>

constexpr size_t kPluginTextBytes = 1024;

// Converts the answer in `buffer` (at most kPluginTextBytes bytes, read no
// further) from the ANSI code page into `field`, cut to fit and terminated.
// With `cutBridgeSuffix`, an answer longer than four characters that ends in
// " (0)" loses that suffix. An empty answer leaves `field` as it was.
void StorePluginText(const char* buffer, bool cutBridgeSuffix, wchar_t* field, size_t fieldChars);
