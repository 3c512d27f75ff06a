// Damages the header of a block it allocated from the process heap while it
// handles effOpen, so the heap no longer validates after that call. The test
// that provokes it calls RepairHeap afterwards to put the bytes back.
#include "PluginKit.h"

namespace {

constexpr size_t kHeaderBytes = 16;
unsigned char* g_block = nullptr;
unsigned char g_saved[kHeaderBytes];

bool Hook(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    if (opcode != effOpen) return false;
    g_block = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 200));
    if (g_block) {
        memcpy(g_saved, g_block - kHeaderBytes, kHeaderBytes);
        memset(g_block - kHeaderBytes, 0xA5, kHeaderBytes);
    }
    *result = 0;
    return true;
}

PluginTraits Traits() {
    PluginTraits s;
    s.name = "Heap Corruptor";
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = 0x48454150;  // 'HEAP'
    s.hook = Hook;
    return s;
}
const PluginTraits kTraits = Traits();

}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return CreateEffect(kTraits);
}

PLUGIN_EXPORT void RepairHeap() {
    if (!g_block) return;
    memcpy(g_block - kHeaderBytes, g_saved, kHeaderBytes);
    HeapFree(GetProcessHeap(), 0, g_block);
    g_block = nullptr;
}
