#include "vst2/GuardedTextBuffer.h"

#include <windows.h>

#include <cstring>

#include "core/PluginText.h"

namespace {

char* AllocateGuarded() {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const SIZE_T page = system.dwPageSize;
    const SIZE_T usable = (kPluginTextBytes + page - 1) / page * page;
    char* base = static_cast<char*>(VirtualAlloc(nullptr, usable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) return nullptr;
    DWORD old = 0;
    if (!VirtualProtect(base + usable, page, PAGE_NOACCESS, &old)) {
        VirtualFree(base, 0, MEM_RELEASE);
        return nullptr;
    }
    return base + usable - kPluginTextBytes;
}

}  // namespace

char* PluginTextBuffer() {
    static char* const guarded = AllocateGuarded();
    static char unguarded[kPluginTextBytes];  // only if the system refused the pages
    char* buffer = guarded ? guarded : unguarded;
    memset(buffer, 0, kPluginTextBytes);
    return buffer;
}
