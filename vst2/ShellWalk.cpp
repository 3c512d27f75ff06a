#include "vst2/ShellWalk.h"

#include <strsafe.h>

#include <cstring>
#include <cwchar>

#include "core/PluginText.h"
#include "core/ProbeState.h"
#include "core/ScanContext.h"
#include "core/StatusLine.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "inventory/ModuleStats.h"
#include "notify/HostNotify.h"
#include "vst2/Bridge.h"
#include "vst2/GuardedDispatch.h"
#include "vst2/GuardedTextBuffer.h"
#include "vst2/HostCallback.h"
#include "vst2/Vst2Interrogate.h"
#include "vst2/Vst2Loading.h"

namespace {

// A shell that never answers 0 would grow the list until memory runs out;
// no real shell comes near this many members.
constexpr size_t kMaxShellEntries = 10000;

void ListShellEntries(AEffect* root, Vst2Session& session) {
    session.entries.clear();
    for (;;) {
        if (session.entries.size() >= kMaxShellEntries) {
            WriteLog(L"%s: Shell lists more than %d plug-ins: the rest is ignored\r\n", kTag,
                     static_cast<int>(kMaxShellEntries));
            break;
        }
        char* name = PluginTextBuffer();
        SetStep(L"Shell get next plugin");
        intptr_t id = GuardedDispatch(root, effShellGetNextPlugin, 0, 0, name, 0.0f, L"effShellGetNextPlugin");
        if (id == 0) break;
        ShellEntry entry;
        entry.id = static_cast<int32_t>(id);
        DecodePluginText(name, strnlen(name, kPluginTextBytes), entry.name, ARRAYSIZE(entry.name));
        session.entries.push_back(entry);
    }
}

void ShowSubPlugin(const wchar_t* name, HWND progress) {
    if (progress) {
        SetProgressTextNow(progress, name);
        UpdateWindow(progress);
    }
    if (g_ctx.background && g_ctx.hostWindow) {
        const wchar_t* slash = wcsrchr(name, L'\\');
        NotifyHostById(kNotifyProgress, IDS_SCANNING, slash ? slash + 1 : name);
    }
}

AEffect* CreateSubPlugin(const InventoryRecord& record, Vst2Session& session) {
    if (session.entry) {
        SetStep(L"Create shell sub-plugin");
        return session.entry(HostCallback);
    }
    return CreateThroughBridge(record, session);
}

}  // namespace

void BeginShell(AEffect* root, InventoryRecord& record, Vst2Session& session) {
    record.isShell = 1;
    record.isShellRoot = 1;
    record.isVst = 1;
    record.isX64 = session.loadedDirectly ? 1 : 0;
    record.factoryFlags = 1;
    WriteLog(L"%s: Enumerate VST Shell...\r\n", kTag);
    ListShellEntries(root, session);

    // An unchanged shell with as many entries as last time keeps its records.
    const uint32_t count = static_cast<uint32_t>(session.entries.size());
    if (count == record.numClasses && record.numClasses > 0 && !ModuleChanged(record, false))
        session.scanEntries = false;
    record.numClasses = count;
    if (session.scanEntries) WriteLog(L"%s: Scan VST Shell plugins...\r\n", kTag);
}

void WalkShell(AEffect* root, const InventoryRecord& record, Vst2Session& session,
               std::vector<InventoryRecord>* subRecords, HWND progress) {
    InventoryRecord working;
    for (const ShellEntry& entry : session.entries) {
        if (!session.scanEntries) break;
        WriteLog(L"%s: Process Waves Shell...\r\n", kTag);
        working = record;
        g_currentPluginId = entry.id;
        StringCchCopyW(working.FullName, ARRAYSIZE(working.FullName), entry.name);
        ShowSubPlugin(entry.name, progress);
        AEffect* sub = CreateSubPlugin(record, session);
        // A sub-plug-in that does not come up is skipped; the others still count.
        if (!IsVst2Effect(sub)) continue;
        InterrogateVst2Instance(sub, working, session, subRecords);
    }
    SetStep(L"Close Shell");
    GuardedDispatch(root, effClose, 0, 0, nullptr, 0.0f, L"effClose");
    if (!g_ctx.background) PumpMessages();
}
