#include "vst2/Vst2Interrogate.h"

#include <cstring>

#include "core/FileVersion.h"
#include "core/PluginText.h"
#include "core/ProbeState.h"
#include "core/ScanContext.h"
#include "core/StatusLine.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "inventory/ClsidGen.h"
#include "vst2/BitmapCache.h"
#include "vst2/GuardedDispatch.h"
#include "vst2/GuardedTextBuffer.h"

namespace {

constexpr size_t kDllVersionChars = 50;  // 49 characters and the terminator
constexpr uint32_t kEditorWidth = 240;
constexpr uint32_t kEditorRowHeight = 20;
constexpr uint32_t kEditorMaxRows = 20;

// Only an answer of exactly 1 confirms a capability.
bool CanDo(AEffect* effect, const char* what) {
    return GuardedDispatch(effect, effCanDo, 0, 0, const_cast<char*>(what), 0.0f, L"effCanDo") == 1;
}

// The first capability of the list the plug-in confirms stops the questions.
bool CanDoAny(AEffect* effect, const char* const* list) {
    for (; *list; ++list)
        if (CanDo(effect, *list)) return true;
    return false;
}

bool IsOfflineOnly(AEffect* effect, const InventoryRecord& record) {
    SetStep(L"noRealTime");
    // VSampler answers "noRealTime" wrongly; only its category counts.
    if (_wcsnicmp(record.FullName, L"VSampler", 8) != 0 && CanDo(effect, "noRealTime")) return true;
    SetStep(L"Check plugin category");
    return GuardedDispatch(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f, L"effGetPlugCategory") ==
           kPlugCategOfflineProcess;
}

void AskText(AEffect* effect, int32_t opcode, const wchar_t* name, bool cutBridgeSuffix, wchar_t* field,
             size_t fieldChars) {
    SetStep(name);
    char* buffer = PluginTextBuffer();
    GuardedDispatch(effect, opcode, 0, 0, buffer, 0.0f, name);
    StorePluginText(buffer, cutBridgeSuffix, field, fieldChars);
}

void AskBitmap(AEffect* effect, intptr_t which, const InventoryRecord& record, const wchar_t* fileName) {
    HBITMAP bitmap = nullptr;
    GuardedDispatch(effect, effVendorSpecific, kVstParamStripdeckBitmaps, which, &bitmap, 0.0f, L"effVendorSpecific");
    if (!bitmap) return;
    StoreModuleBitmap(record.clsidPlug, bitmap, fileName);
    StoreModuleBitmap(record.clsidPlugMD5, bitmap, fileName);
    DeleteObject(bitmap);
}

// The queries only the host's own channel-strip modules answer.
void AskStripdeckModule(AEffect* effect, InventoryRecord& record) {
    SetStep(L"kVST_PARAM_STRIPDECK_EXCLUSIVE");
    int32_t exclusive = 0;
    GuardedDispatch(effect, effVendorSpecific, kVstParamStripdeckExclusive, 0, &exclusive, 0.0f, L"effVendorSpecific");
    if (exclusive != 0) record.hasVstEntryPoint = 0;

    SetStep(L"moduleType");
    GuardedDispatch(effect, effVendorSpecific, kVstParamStripdeckModuleType, 0, &record.moduleType, 0.0f,
                    L"effVendorSpecific");

    SetStep(L"moduleBitmaps");
    AskBitmap(effect, 0, record, kThumbnailFile);
    AskBitmap(effect, 1, record, kStandInFile);
}

// The VST 3 class this plug-in can be replaced by, when it names one.
void AskCompatibleVst3Class(AEffect* effect, InventoryRecord& record) {
    unsigned char fuid[16] = {};
    GuardedDispatch(effect, effVendorSpecific, kVendorQueryCompatible, kVendorQueryFuid, fuid, 0.0f,
                    L"effVendorSpecific");
    static const unsigned char kZero[16] = {};
    if (memcmp(fuid, kZero, sizeof fuid) != 0) memcpy(&record.clsidVST3Compatible, fuid, sizeof fuid);
}

}  // namespace

void InterrogateVst2Instance(AEffect* effect, InventoryRecord& record, Vst2Session& session,
                             std::vector<InventoryRecord>* subRecords) {
    static const char* const kReceive[] = {"receiveVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvents", nullptr};
    static const char* const kSend[] = {"sendVstMidiEvent", "sendVstEvents", "sendVstMidiEvents", nullptr};
    const bool isShell = session.category == kPlugCategShell;

    WriteLog(L"%s: Checking Plugin properties...\r\n", kTag);
    SetStep(L"Open");
    GuardedDispatch(effect, effOpen, 0, 0, nullptr, 0.0f, L"effOpen");
    SetStep(L"Get Program");
    GuardedDispatch(effect, effGetProgram, 0, 0, nullptr, 0.0f, L"effGetProgram");

    const bool offlineOnly = IsOfflineOnly(effect, record);
    if (offlineOnly) WriteLog(L"%s: Plugin reported 'noRealTime'...\r\n", kTag);

    SetStep(L"Set Sample Rate");
    GuardedDispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f, L"effSetSampleRate");
    SetStep(L"Set Block Size");
    GuardedDispatch(effect, effSetBlockSize, 0, 512, nullptr, 0.0f, L"effSetBlockSize");

    SetStep(L"receiveVstMidiEvent");
    if (CanDoAny(effect, kReceive)) g_eventsFlag = 1;

    const bool bridged = !session.loadedDirectly;
    AskText(effect, effGetVendorString, L"effGetVendorString", bridged, record.Vendor, ARRAYSIZE(record.Vendor));
    AskText(effect, effGetEffectName, L"effGetEffectName", false, record.FullName, ARRAYSIZE(record.FullName));
    AskText(effect, effGetProductString, L"effGetProductString", bridged, record.description,
            ARRAYSIZE(record.description));

    // Read the AEffect now: a plug-in may fill it in while it is opened.
    const int32_t flags = effect->flags;
    record.isVst = offlineOnly ? 0 : 1;
    record.isX64 = session.loadedDirectly ? 1 : 0;
    record.isInternal = session.internalModule ? 1 : 0;
    record.wantEvents = g_eventsFlag;
    record.isShell = isShell ? 1 : 0;
    record.isShellRoot = 0;
    if (isShell) record.factoryFlags = 1;
    record.uniqueId = static_cast<int32_t>(g_currentPluginId);
    record.numInputs = static_cast<uint32_t>(effect->numInputs);
    record.maxUsedInputs = static_cast<uint32_t>(effect->numInputs);
    record.numOutputs = static_cast<uint32_t>(effect->numOutputs);
    record.numParams = static_cast<uint32_t>(effect->numParams);
    record.numPrograms = static_cast<uint32_t>(effect->numPrograms);
    record.vstVersion = static_cast<uint32_t>(effect->version);
    if (flags & effFlagsProgramChunks) record.progsChunks = 1;
    record.isSynth = (flags & effFlagsIsSynth) ? 1 : 0;

    SetStep(L"ReceiveVstTimeInfo");
    if (!record.isSynth && CanDo(effect, "receiveVstTimeInfo")) record.registerAsTempoBasedEffect = 1;

    SetStep(L"SendVstMidiEvent");
    if (CanDoAny(effect, kSend)) record.generateEvents = 1;
    if (!(flags & effFlagsHasEditor) && !isShell) {
        // The host's generic editor: one row per parameter, at most twenty.
        record.cxEditor = kEditorWidth;
        record.cyEditor = kEditorRowHeight * (record.numParams < kEditorMaxRows ? record.numParams : kEditorMaxRows);
    } else {
        record.cxEditor = 0;
        record.cyEditor = 0;
    }
    record.doublePrecision = (flags & effFlagsCanDoubleReplacing) ? 1 : 0;

    GetFileVersionText(record.FullPath, record.dllVersion, kDllVersionChars);
    GenerateVSTClsid(&record);

    if (session.internalModule) AskStripdeckModule(effect, record);
    AskCompatibleVst3Class(effect, record);

    record.numClasses = 1;
    ++session.instances;
    if (isShell && subRecords) subRecords->push_back(record);
    SetStep(L"Close Effect");
    GuardedDispatch(effect, effClose, 0, 0, nullptr, 0.0f, L"effClose");
    WriteLog(L"%s: Finished checking plugin properties...\r\n", kTag);
    if (!g_ctx.background) PumpMessages();
}
