// The only code that knows the value names and types of a record key.
#include "inventory/InventoryStore.h"

#include <objbase.h>
#include <strsafe.h>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "diag/ScanLog.h"
#include "inventory/ClsidGen.h"
#include "inventory/CompatData.h"
#include "inventory/RegistryValues.h"

namespace {

constexpr wchar_t kForwardCompatible[] = L"ForwardCompatible";
constexpr wchar_t kBackwardsCompatible[] = L"BackwardsCompatible";

template <size_t N>
void ReadTextField(HKEY key, const wchar_t* name, wchar_t (&field)[N]) {
    ReadText(key, name, field, N);
}

// Class-id text ("{...}", 38 characters) into a GUID; a missing value keeps
// the field, text that is not a GUID leaves what the conversion leaves.
void ReadClsid(HKEY key, const wchar_t* name, GUID& field) {
    wchar_t text[128] = {};
    if (!ReadText(key, name, text, 128)) return;
    CLSIDFromString(text, &field);
}

void WriteClsid(HKEY key, const wchar_t* name, const GUID& id) {
    wchar_t text[40] = {};
    if (StringFromGUID2(id, text, 40)) WriteText(key, name, text);
}

// Our own value beside the host's: present only while the module itself
// fails to load, so that every scan tries it again.
void WriteLoadError(HKEY k, const InventoryRecord& r) {
    if (r.loadError)
        WriteDword(k, L"loadError", r.loadError);
    else
        RegDeleteValueW(k, L"loadError");
}

// Reads through the caller's StoredValues, so that the update write after it
// knows what the key already holds.
struct SnapshotReader {
    HKEY k;
    StoredValues& s;
    template <class T>
    void Dword(const wchar_t* name, T* field) {
        static_assert(sizeof(T) == 4, "32-bit field");
        uint32_t value = 0;
        if (NumberFrom(s.Read(k, name, 8), name, &value)) memcpy(field, &value, 4);
    }
    template <size_t N>
    void Text(const wchar_t* name, wchar_t (&field)[N]) {
        TextFrom(s.Read(k, name, static_cast<DWORD>(N * sizeof(wchar_t))), field, N);
    }
    void Exact(const wchar_t* name, void* data, DWORD size) { ExactFrom(s.Read(k, name, size), data, size); }
};

void ReadPartial(HKEY k, InventoryRecord& r, StoredValues& stored) {
    SnapshotReader in{k, stored};
    r.loadError = 0;
    in.Dword(L"loadError", &r.loadError);
    in.Dword(L"isShell", &r.isShell);
    in.Dword(L"isShellRoot", &r.isShellRoot);
    in.Dword(L"isVst", &r.isVst);
    in.Dword(L"isVst3", &r.isVst3);
    ReadDword(k, L"isX64", &r.isX64);
    ReadDword(k, L"isInternal", &r.isInternal);
    r.numClasses = 0;
    in.Dword(L"numClasses", &r.numClasses);
    r.factoryFlags = 0;
    in.Dword(L"factoryFlags", &r.factoryFlags);
    if (r.isVst && r.isShell) r.factoryFlags = 1;  // a VST 2 shell is walked in every scan
    ReadClsid(k, L"clsidPlug", r.clsidPlug);
    ReadClsid(k, L"clsidPlugMD5", r.clsidPlugMD5);
    ReadDword(k, L"registerAsPlug", &r.registerAsPlug);
    ReadDword(k, L"isSynth", &r.isSynth);
    ReadDword(k, L"registerAsTempoBasedEffect", &r.registerAsTempoBasedEffect);
    ReadDword(k, L"forceStereo", &r.forceStereo);
    ReadDword(k, L"nrpnPassThrough", &r.nrpnPassThrough);
    ReadDword(k, L"delayCompensation", &r.delayCompensation);
    ReadDword(k, L"seralizeDispatcher", &r.seralizeDispatcher);
    r.maxUsedInputs = r.numInputs;
    ReadDword(k, L"maxUsedInputs", &r.maxUsedInputs);
    if (!r.isInternal) ReadDword(k, L"jBridgeLoader", &r.jBridgeLoader);
    ReadDword(k, L"forceMono", &r.forceMono);
    ReadDword(k, L"translateProgramChanges", &r.translateProgramChanges);
    ReadDword(k, L"forceSuspendOnPlay", &r.forceSuspendOnPlay);
    ReadDword(k, L"forceSuspendOnStop", &r.forceSuspendOnStop);
    in.Text(L"FullPath", r.FullPath);
    in.Exact(L"modStats", r.modStats, sizeof r.modStats);
    // Not fields of the partial record, but values the update write sets.
    stored.Read(k, L"touch", 8);
}

void ReadFull(HKEY k, InventoryRecord& r) {
    ReadClsid(k, L"clsidPlug", r.clsidPlug);
    r.clsidPlugMD5 = GUID{};
    ReadClsid(k, L"clsidPlugMD5", r.clsidPlugMD5);
    r.clsidVST3Compatible = GUID{};
    ReadClsid(k, L"clsidVST3Compatible", r.clsidVST3Compatible);
    ReadClsid(k, L"clsidProps", r.clsidProps);
    r.clsidPropsMD5 = GUID{};
    ReadClsid(k, L"clsidPropsMD5", r.clsidPropsMD5);
    ReadTextField(k, L"FullName", r.FullName);
    ReadTextField(k, L"FullPath", r.FullPath);
    ReadTextField(k, L"Vendor", r.Vendor);
    ReadTextField(k, L"DosName", r.DosName);
    wmemset(r.DosName + wcsnlen(r.DosName, 12), 0, 12 - wcsnlen(r.DosName, 12));  // the class ids hash all 8
    ReadTextField(k, L"PresetPath", r.PresetPath);
    ReadTextField(k, L"description", r.description);
    ReadDword(k, L"moduleType", &r.moduleType);
    ReadDword(k, L"isBad", &r.isBad);
    ReadDword(k, L"isSynth", &r.isSynth);
    ReadDword(k, L"isVst", &r.isVst);
    ReadDword(k, L"isVst3", &r.isVst3);
    ReadDword(k, L"isX64", &r.isX64);
    ReadDword(k, L"isInternal", &r.isInternal);
    ReadDword(k, L"isARA", &r.isARA);
    r.hasVstEntryPoint = r.isInternal ? 0 : 1;
    ReadDword(k, L"hasVstEntryPoint", &r.hasVstEntryPoint);
    ReadDword(k, L"numInputs", &r.numInputs);
    r.maxUsedInputs = r.numInputs;
    ReadDword(k, L"maxUsedInputs", &r.maxUsedInputs);
    ReadDword(k, L"numOutputs", &r.numOutputs);
    ReadDword(k, L"numPrograms", &r.numPrograms);
    ReadDword(k, L"numParams", &r.numParams);
    ReadDword(k, L"progsChunks", &r.progsChunks);
    ReadDword(k, L"registerAsPlug", &r.registerAsPlug);
    ReadDword(k, L"registerAsSynth", &r.registerAsSynth);
    if (!r.isInternal) ReadDword(k, L"jBridgeLoader", &r.jBridgeLoader);
    ReadDword(k, L"uniqueId", &r.uniqueId);
    ReadDword(k, L"wantEvents", &r.wantEvents);
    ReadDword(k, L"cxEditor", &r.cxEditor);
    ReadDword(k, L"cyEditor", &r.cyEditor);
    ReadDword(k, L"forceStereo", &r.forceStereo);
    ReadDword(k, L"addVstPrefix", &r.addVstPrefix);
    ReadDword(k, L"delayCompensation", &r.delayCompensation);
    ReadDword(k, L"registerAsTempoBasedEffect", &r.registerAsTempoBasedEffect);
    ReadDword(k, L"generateEvents", &r.generateEvents);
    ReadDword(k, L"isShell", &r.isShell);
    ReadDword(k, L"isShellRoot", &r.isShellRoot);
    ReadDword(k, L"numClasses", &r.numClasses);
    ReadDword(k, L"factoryFlags", &r.factoryFlags);
    ReadDword(k, L"nrpnPassThrough", &r.nrpnPassThrough);
    ReadDword(k, L"forceSuspendOnPlay", &r.forceSuspendOnPlay);
    ReadDword(k, L"forceSuspendOnStop", &r.forceSuspendOnStop);
    ReadDword(k, L"seralizeDispatcher", &r.seralizeDispatcher);
    ReadDword(k, L"vstVersion", &r.vstVersion);
    ReadDword(k, L"forceMono", &r.forceMono);
    ReadDword(k, L"translateProgramChanges", &r.translateProgramChanges);
    r.gantryServerId = 0;
    ReadDword(k, L"gantryServerId", &r.gantryServerId);
    r.gantryServerId -= 1;  // stored as index + 1; missing or 0 is the default server
    ReadExact(k, L"modStats", r.modStats, sizeof r.modStats);
    ReadDword(k, L"doublePrecision", &r.doublePrecision);
    ReadTextField(k, L"dllVersion", r.dllVersion);
    ReadTextField(k, L"Subcategories", r.Subcategories);
    r.loadError = 0;
    ReadDword(k, L"loadError", &r.loadError);

    SetFailurePoint(L"ReadVSTPersistCompatData");
    ReadVSTPersistCompatData(k, kForwardCompatible, r.forwardCompatible);
    ReadVSTPersistCompatData(k, kBackwardsCompatible, r.backwardsCompatible);
}

void WriteFull(HKEY k, InventoryRecord& r, DWORD noPrefix) {
    if (r.isVst) GenerateVSTClsid(&r);
    WriteClsid(k, L"clsidPlug", r.clsidPlug);
    WriteClsid(k, L"clsidPlugMD5", r.clsidPlugMD5);
    WriteClsid(k, L"clsidProps", r.clsidProps);
    WriteClsid(k, L"clsidPropsMD5", r.clsidPropsMD5);
    if (!IsEqualGUID(r.clsidVST3Compatible, GUID{})) WriteClsid(k, L"clsidVST3Compatible", r.clsidVST3Compatible);
    WriteText(k, L"FullName", r.FullName);
    WriteText(k, L"FullPath", r.FullPath);
    WriteText(k, L"Vendor", r.Vendor);
    WriteText(k, L"DosName", r.DosName);
    WriteText(k, L"PresetPath", r.PresetPath);
    WriteText(k, L"description", r.description);
    WriteDword(k, L"moduleType", r.moduleType);
    WriteDword(k, L"isBad", r.isBad);
    WriteDword(k, L"isSynth", r.isSynth);
    // A channel-strip module is a plug-in to the host only when it also has
    // a standard entry point.
    bool offered = !r.isInternal || r.hasVstEntryPoint;
    WriteDword(k, L"isVst", offered ? r.isVst : 0);
    WriteDword(k, L"isVst3", offered ? r.isVst3 : 0);
    WriteDword(k, L"isX64", r.isX64);
    WriteDword(k, L"isInternal", r.isInternal);
    WriteDword(k, L"isARA", r.isARA);
    WriteDword(k, L"hasVstEntryPoint", r.hasVstEntryPoint);
    WriteDword(k, L"numInputs", r.numInputs);
    WriteDword(k, L"maxUsedInputs", r.maxUsedInputs);
    WriteDword(k, L"numOutputs", r.numOutputs);
    WriteDword(k, L"numPrograms", r.numPrograms);
    WriteDword(k, L"numParams", r.numParams);
    WriteDword(k, L"progsChunks", r.progsChunks);
    WriteDword(k, L"registerAsPlug", r.registerAsPlug);
    WriteDword(k, L"registerAsSynth", r.registerAsSynth);
    WriteDword(k, L"jBridgeLoader", r.jBridgeLoader);
    WriteDword(k, L"uniqueId", static_cast<DWORD>(r.uniqueId));
    WriteDword(k, L"wantEvents", r.wantEvents);
    WriteDword(k, L"cxEditor", r.cxEditor);
    WriteDword(k, L"cyEditor", r.cyEditor);
    WriteDword(k, L"forceStereo", r.forceStereo);
    WriteDword(k, L"nrpnPassThrough", r.nrpnPassThrough);
    // A bridged instrument cannot report its latency through the bridge.
    WriteDword(k, L"delayCompensation", (!r.isX64 && r.isSynth) ? 0 : r.delayCompensation);
    WriteDword(k, L"registerAsTempoBasedEffect", r.registerAsTempoBasedEffect);
    WriteDword(k, L"generateEvents", r.generateEvents);
    WriteDword(k, L"isShell", r.isShell);
    WriteDword(k, L"isShellRoot", r.isShellRoot);
    WriteDword(k, L"numClasses", r.numClasses);
    WriteDword(k, L"factoryFlags", r.factoryFlags);
    WriteDword(k, L"forceSuspendOnPlay", r.forceSuspendOnPlay);
    WriteDword(k, L"forceSuspendOnStop", r.forceSuspendOnStop);
    WriteDword(k, L"seralizeDispatcher", r.seralizeDispatcher);
    WriteDword(k, L"vstVersion", r.vstVersion);
    WriteDword(k, L"forceMono", r.forceMono);
    WriteDword(k, L"translateProgramChanges", r.translateProgramChanges);
    WriteDword(k, L"gantryServerId", static_cast<DWORD>(r.gantryServerId + 1));
    WriteDword(k, L"addVstPrefix", noPrefix ? 0 : 1);
    WriteDword(k, L"touch", 1);
    WriteDword(k, L"doublePrecision", r.doublePrecision);
    WriteText(k, L"dllVersion", r.dllVersion);
    WriteText(k, L"Subcategories", r.Subcategories);
    WriteLoadError(k, r);

    SetFailurePoint(L"WriteVSTPersistCompatData");
    WriteVSTPersistCompatData(k, kForwardCompatible, r.forwardCompatible);
    WriteVSTPersistCompatData(k, kBackwardsCompatible, r.backwardsCompatible);
    // Last: a record whose file statistics match counts as up to date and is
    // not probed again, so a scan that dies halfway through this write leaves
    // a record the next scan rewrites.
    WriteBinary(k, L"modStats", r.modStats, sizeof r.modStats);
    WriteLog(L"%s: %s - successfully wrote complete VST plugin inventory record...\r\n", kTag, g_failure.function);
}

// Only the bookkeeping of a scan: user options and class ids stay as stored.
// A value the key already holds with the same type and bytes is not written
// again, which leaves an unchanged record's key exactly as it was.
void WriteUpdate(HKEY k, const InventoryRecord& r, StoredValues& s) {
    s.SetDword(k, L"isVst", r.isVst);
    s.SetDword(k, L"isVst3", r.isVst3);
    s.SetDword(k, L"touch", 1);
    s.Set(k, L"modStats", REG_BINARY, r.modStats, sizeof r.modStats);
    s.SetDword(k, L"isBad", r.isBad);
    s.SetDword(k, L"isShell", r.isShell);
    s.SetDword(k, L"isShellRoot", r.isShellRoot);
    s.SetDword(k, L"numClasses", r.numClasses);
    s.SetDword(k, L"factoryFlags", r.factoryFlags);
    s.Set(k, L"FullPath", REG_SZ, r.FullPath, static_cast<DWORD>((wcslen(r.FullPath) + 1) * sizeof(wchar_t)));
    if (r.loadError)
        s.SetDword(k, L"loadError", r.loadError);
    else
        s.Delete(k, L"loadError");
    WriteLog(L"%s: %s - successfully updated VST plugin inventory record...\r\n", kTag, g_failure.function);
}

}  // namespace

void ReadVstData(HKEY key, InventoryRecord& record, int partial, StoredValues* stored) {
    SetFunction(L"READ VST DATA");
    InventoryRecord r = record;
    StoredValues local;
    if (partial)
        ReadPartial(key, r, stored ? *stored : local);
    else
        ReadFull(key, r);
    record = std::move(r);
}

void WriteVstData(HKEY key, InventoryRecord& r, DWORD noPrefix, int updateOnly, StoredValues* stored) {
    SetFunction(L"WRITE VST DATA");
    WriteLog(L"%s: %s...\r\n", kTag, g_failure.function);
    if (!key) {
        WriteLog(L"%s: %s - Invalid registry key...\r\n", kTag, g_failure.function);
        return;
    }
    if (r.isInternal) {
        // The host's own modules always load natively and as effects.
        r.registerAsPlug = 1;
        r.registerAsSynth = 0;
        r.delayCompensation = 1;
        r.jBridgeLoader = 0;
    }
    StoredValues local;
    if (!updateOnly && (r.isVst || r.isVst3 || r.isInternal)) {
        if (stored) stored->Forget();
        WriteFull(key, r, noPrefix);
    } else {
        WriteUpdate(key, r, stored ? *stored : local);
    }
}

void LoadInventory(std::vector<InventoryRecord>& list) {
    SetFunction(L"LoadInventory");
    SetFailurePoint(L"LoadInventory");
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    for (const std::wstring& name : SubkeyNames(inventory.Get())) {
        RegKey record;
        if (record.Open(inventory.Get(), name.c_str(), KEY_READ) != ERROR_SUCCESS) continue;
        InventoryRecord r;
        ReadVstData(record.Get(), r, 0);
        list.push_back(std::move(r));
    }
}
