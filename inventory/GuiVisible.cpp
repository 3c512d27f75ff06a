#include "inventory/GuiVisible.h"

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/RegistryValues.h"

void SetGuiVisible(DWORD visible) {
    RegKey key;
    if (key.Create(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    WriteDword(key.Get(), L"SievoGUIVisible", visible);
}
