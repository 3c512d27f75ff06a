#include "vst2/PluginText.h"

#include <windows.h>
#include <strsafe.h>

#include <cstring>

void StorePluginText(const char* buffer, bool cutBridgeSuffix, wchar_t* field, size_t fieldChars) {
    size_t length = strnlen(buffer, kPluginTextBytes);
    // The bridge appends its server number to the names it relays.
    if (cutBridgeSuffix && length > 4 && !memcmp(buffer + length - 4, " (0)", 4)) length -= 4;
    if (length == 0 || fieldChars == 0) return;
    wchar_t wide[kPluginTextBytes + 1];
    int chars = MultiByteToWideChar(CP_ACP, 0, buffer, static_cast<int>(length), wide, kPluginTextBytes);
    if (chars <= 0) return;
    wide[chars] = 0;
    StringCchCopyNW(field, fieldChars, wide, static_cast<size_t>(chars));
}
