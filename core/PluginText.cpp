#include "core/PluginText.h"

#include <windows.h>
#include <strsafe.h>

#include <cstring>
#include <vector>

size_t DecodePluginText(const char* text, size_t length, wchar_t* out, size_t outChars) {
    if (!out || outChars == 0) return 0;
    out[0] = 0;
    if (!text || length == 0) return 0;
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
    std::vector<wchar_t> wide(length + 1, 0);
    int chars = 0;
    // Plug-ins built on today's frameworks hand over UTF-8; older ones the
    // code page of their maker's system, which is all we can assume then.
    if (!ascii)
        chars = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), wide.data(),
                                    static_cast<int>(length));
    if (chars <= 0)
        chars = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide.data(), static_cast<int>(length));
    if (chars <= 0) return 0;
    wide[static_cast<size_t>(chars)] = 0;
    StringCchCopyNW(out, outChars, wide.data(), static_cast<size_t>(chars));
    return wcslen(out);
}

void StorePluginText(const char* buffer, bool cutBridgeSuffix, wchar_t* field, size_t fieldChars) {
    size_t length = strnlen(buffer, kPluginTextBytes);
    // The bridge appends its server number to the names it relays.
    if (cutBridgeSuffix && length > 4 && !memcmp(buffer + length - 4, " (0)", 4)) length -= 4;
    if (length == 0 || fieldChars == 0) return;
    std::vector<wchar_t> wide(length + 1, 0);
    if (DecodePluginText(buffer, length, wide.data(), wide.size()) == 0) return;
    StringCchCopyW(field, fieldChars, wide.data());
}
