#include "vst2/Vst2Probe.h"

#include "core/ComApartment.h"
#include "core/ProbeState.h"
#include "diag/FailurePoint.h"
#include "diag/PluginLeftovers.h"
#include "diag/ScanLog.h"
#include "inventory/ModuleStats.h"
#include "vst2/Bridge.h"
#include "vst2/GuardedDispatch.h"
#include "vst2/ShellWalk.h"
#include "vst2/Vst2Interrogate.h"
#include "vst2/Vst2Loading.h"

namespace {

// The DLL (or the bridge) goes as soon as the probe is done with it; after a
// fault it stays loaded, because nothing after the faulting call runs.
void Unload(Vst2Session& session, const InventoryRecord& record) {
    if (!session.module) return;
    WriteLog(L"%s: Unloading VST dll...\r\n", kTag);
    SetStep(L"Free Library");
    ReleasePluginModule(session.module, record.FullPath);
    session.module = nullptr;
}

void CheckHeapAfterUnload(InventoryRecord& record) {
    SetStep(L"Post Unload");
    SetStep(L"Post Unload - HeapValidate");
    if (!ProcessHeapValid()) {
        WriteLog(L"%s: Heap corrupted after calling dispatcher!\r\n", kTag);
        throw 0;
    }
    ModuleChanged(record, true);
}

void ProbeInstance(AEffect* effect, InventoryRecord& record, Vst2Session& session,
                   std::vector<InventoryRecord>* subRecords, HWND progress) {
    WriteLog(L"%s: Created plugin instance...\r\n", kTag);
    SetStep(L"Check plug category");
    session.category = GuardedDispatch(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f, L"effGetPlugCategory");

    if (session.category == kPlugCategShell) {
        BeginShell(effect, record, session);
        WalkShell(effect, record, session, subRecords, progress);
        return;
    }
    record.isShell = 0;
    record.isShellRoot = 0;
    record.factoryFlags = 0;
    ShellEntry single;
    single.id = effect->uniqueID;
    session.entries.assign(1, single);
    record.numClasses = static_cast<uint32_t>(session.entries.size());

    // The instance created by the entry call is the one interrogated.
    g_currentPluginId = single.id;
    InterrogateVst2Instance(effect, record, session, subRecords);
}

}  // namespace

DWORD LoadVst2Plugin(InventoryRecord& record, std::vector<InventoryRecord>* subRecords, HWND progress) {
    g_currentPluginId = 0;
    g_eventsFlag = 0;
    Vst2Session session;

    SetFunction(L"Load VST Plugin");
    SetFailurePoint(L"Load VST Plugin");
    SetStep(L"Load Library");
    WriteLog(L"%s: ---- Loading VST plugin %s ----\r\n", kTag, record.FullPath);
    EnsureComOnThread();  // before the module's own start-up code runs

    AEffect* effect = nullptr;
    if (LoadVst2Module(record, session)) {
        WatchModule(session.module);
        effect = CreateVst2Effect(session);
    } else {
        WriteLog(L"%s: Normal DLL load failed, attempting to load with Gantry...\r\n", kTag);
        effect = LoadThroughBridge(record, session);
        // Kept so that the next scan tries again: the bridge, a runtime or
        // the file itself may be there by then.
        if (!effect) record.loadError = session.loadError ? session.loadError : ERROR_MOD_NOT_FOUND;
        WatchModule(session.module);
    }

    if (IsVst2Effect(effect))
        ProbeInstance(effect, record, session, subRecords, progress);
    else
        WriteLog(L"%s: Failed to create VST plugin instance...\r\n", kTag);
    session.entries.clear();

    Unload(session, record);
    CheckHeapAfterUnload(record);
    return session.instances;
}
