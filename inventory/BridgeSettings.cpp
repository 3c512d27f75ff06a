#include "inventory/BridgeSettings.h"

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/RegistryValues.h"

namespace {

uint64_t RealPhysicalMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

PhysicalMemoryFn g_memorySource = RealPhysicalMemory;

}  // namespace

void SetPhysicalMemorySource(PhysicalMemoryFn source) {
    g_memorySource = source ? source : RealPhysicalMemory;
}

DWORD GantryServerCount() {
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, g_ctx.configKeyPath, KEY_READ) != ERROR_SUCCESS) return 0;
    int32_t stored = 0;
    uint64_t count = 0;
    if (ReadDword(key.Get(), L"GantryServerCount", &stored) && stored >= 1) {
        count = static_cast<uint64_t>(stored);
    } else {
        constexpr uint64_t kBytesPerServer = uint64_t{1} << 31;
        count = (g_memorySource() + kBytesPerServer - 1) / kBytesPerServer;
    }
    return static_cast<DWORD>(count < kMaxGantryServers ? count : kMaxGantryServers);
}

bool IsJBridgeInstalled() {
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, L"Software\\JBridge", KEY_READ) != ERROR_SUCCESS) return false;
    wchar_t proxy[MAX_PATH] = {};
    if (!ReadText(key.Get(), L"Proxy64", proxy, MAX_PATH) || !proxy[0]) return false;
    DWORD attributes = GetFileAttributesW(proxy);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
