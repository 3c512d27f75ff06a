#include "vst2/Vst2Loading.h"

#include <shlwapi.h>
#include <strsafe.h>

#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "vst2/HostCallback.h"
#include "vst2/ProbeState.h"

namespace {

Vst2EntryProc FindEntry(HMODULE module, const char* name) {
    return reinterpret_cast<Vst2EntryProc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool LoadVst2Module(InventoryRecord& record, Vst2Session& session) {
    session.module = LoadLibraryW(record.FullPath);
    if (!session.module) return false;
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

AEffect* LoadThroughBridge(const InventoryRecord& record, Vst2Session& session) {
    if (!g_bridgePath[0]) {
        wchar_t folder[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, folder, MAX_PATH);
        folder[MAX_PATH - 1] = 0;
        if (PathRemoveFileSpecW(folder)) {
            StringCchCopyW(g_bridgePath, ARRAYSIZE(g_bridgePath), folder);
            StringCchCatW(g_bridgePath, ARRAYSIZE(g_bridgePath), L"\\Gantry.dll");
        }
    }
    WriteLog(L"%s: Load Gantry.DLL...\r\n", kTag);
    SetStep(L"Load Gantry.DLL");
    // The bridge takes the plug-in's place: it is the module freed at the end.
    session.module = LoadLibraryW(g_bridgePath);
    if (!session.module) {
        DWORD error = GetLastError();
        WriteLog(L"%s: DLL load failed...\r\n", kTag);
        wchar_t text[512] = {};
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, ARRAYSIZE(text), nullptr);
        WriteLog(L"hPlugin is NULL, plugin failed to load with error %0x, %s\n", error, text);
        return nullptr;
    }
    SetStep(L"Get Gantry proc address");
    session.bridgeLoad =
        reinterpret_cast<LoadVst32Proc>(reinterpret_cast<void*>(GetProcAddress(session.module, "LoadVST32")));
    if (!session.bridgeLoad) return nullptr;

    SetStep(L"Load VST via Gantry");
    char path[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, record.FullPath, -1, path, MAX_PATH, nullptr, nullptr);
    path[MAX_PATH - 1] = 0;
    AEffect* effect = session.bridgeLoad(path, HostCallback);
    WriteLog(effect ? L"%s: Load successful with Gantry...\r\n" : L"%s: Load failed with Gantry...\r\n", kTag);
    return effect;
}

bool IsVst2Effect(const AEffect* effect) {
    return effect && effect->dispatcher && effect->magic == kEffectMagic;
}
