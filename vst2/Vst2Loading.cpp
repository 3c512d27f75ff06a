#include "vst2/Vst2Loading.h"

#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "vst2/HostCallback.h"

namespace {

Vst2EntryProc FindEntry(HMODULE module, const char* name) {
    return reinterpret_cast<Vst2EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool LoadVst2Module(InventoryRecord& record, Vst2Session& session) {
    // With the plug-in's own folder searched first for what it imports, as a
    // host that loads it that way would: its runtime DLLs often lie beside it.
    session.module = LoadLibraryExW(record.FullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!session.module) {
        session.loadError = GetLastError();
        return false;
    }
    session.loadedDirectly = true;
    WriteLog(L"%s: DLL loaded successfully...\r\n", kTag);

    SetStep(L"Get Proc Address");
    for (const char* name : {"VSTPluginMain", "main", "Main"}) {
        if ((session.entry = FindEntry(session.module, name)) != nullptr) break;
    }
    if (session.entry) {
        record.hasVstEntryPoint = 1;
        record.isVst = 1;
        WriteLog(L"%s: Successfully got entry point. DLL is a VST plugin...\r\n", kTag);
    }
    // The host's own channel-strip modules are created through their private
    // entry point, even when they export a standard one too.
    if (Vst2EntryProc internal = FindEntry(session.module, "ZENTAPluginMain")) {
        session.entry = internal;
        WriteLog(L"%s: Internal stripdeck module detected...\r\n", kTag);
        record.isInternal = 1;
        session.internalModule = true;
        record.isVst = 0;
        record.jBridgeLoader = 0;
    }
    return true;
}

AEffect* CreateVst2Effect(Vst2Session& session) {
    if (!session.entry) return nullptr;
    WriteLog(L"%s: Calling entry point...\r\n", kTag);
    SetStep(L"Main Call");
    return session.entry(HostCallback);
}

bool IsVst2Effect(const AEffect* effect) {
    return effect && effect->dispatcher && effect->magic == kEffectMagic;
}
