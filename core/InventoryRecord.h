// One plug-in's inventory record: the value the registry key of a plug-in
// holds, with every stored field in the order the host's own tools list them.
// The record is a plain copyable value; only the two compatibility lists own
// heap memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

// One plug-in a VST 3 plug-in can stand in for (or be replaced by).
struct CompatEntry {
    int32_t pluginType = 0;
    wchar_t pluginUID[64] = {};
    wchar_t pluginName[128] = {};
    int32_t replacementPolicy = 0;
    std::map<int32_t, int32_t> paramMap;

    bool operator==(const CompatEntry& o) const;
};

using CompatList = std::vector<CompatEntry>;

// The fixed-size part of a record; compared and copied byte for byte.
struct InventoryFields {
    GUID clsidPlug;
    GUID clsidPlugMD5;
    GUID clsidProps;
    GUID clsidPropsMD5;
    GUID clsidVST3Compatible;
    wchar_t FullName[260];
    wchar_t FullPath[1024];  // a module path may pass the classic 260-character limit
    wchar_t PresetPath[1024];
    wchar_t DosName[12];
    int32_t uniqueId;
    uint8_t modStats[12];  // FILETIME of the last write, then the low 32 bits of the size
    uint32_t isVst;
    uint32_t isVst3;
    uint32_t isSynth;
    uint32_t isBad;
    uint32_t wantEvents;
    uint32_t numInputs;
    uint32_t maxUsedInputs;
    uint32_t numOutputs;
    uint32_t numPrograms;
    uint32_t numParams;
    uint32_t progsChunks;
    uint32_t registerAsPlug;
    uint32_t registerAsSynth;
    uint32_t jBridgeLoader;
    uint32_t cxEditor;
    uint32_t cyEditor;
    uint32_t forceStereo;
    uint32_t nrpnPassThrough;
    uint32_t addVstPrefix;
    uint32_t delayCompensation;
    uint32_t registerAsTempoBasedEffect;
    uint32_t forceSuspendOnStop;
    uint32_t forceSuspendOnPlay;
    uint32_t isNew;  // not stored: 1 for a record created in this run
    uint32_t seralizeDispatcher;
    uint32_t generateEvents;
    uint32_t isShell;
    uint32_t isShellRoot;
    uint32_t numClasses;
    uint32_t factoryFlags;
    uint32_t isX64;
    uint32_t isInternal;
    uint32_t isARA;
    uint32_t hasVstEntryPoint;
    uint32_t forceMono;
    uint32_t translateProgramChanges;
    int32_t gantryServerId;  // -1 is the default server; stored as index + 1
    uint32_t vstVersion;
    wchar_t Vendor[1024];
    wchar_t description[1024];
    uint32_t moduleType;
    uint32_t doublePrecision;
    wchar_t dllVersion[50];
    wchar_t Subcategories[128];
    uint32_t loadError;  // the system's error when the module itself could not be loaded, else 0
};

struct InventoryRecord : InventoryFields {
    CompatList forwardCompatible;
    CompatList backwardsCompatible;

    InventoryRecord() : InventoryFields() {}  // value-initialised: all zero

    // The record as a whole, lists included; padding never differs because
    // every record starts zero-filled and is only ever copied whole.
    bool SameAs(const InventoryRecord& o) const;
};

// File time and size as kept in modStats.
struct ModStats {
    FILETIME lastWrite;
    uint32_t size;
};
ModStats GetModStats(const InventoryRecord& r);
void SetModStats(InventoryRecord& r, const ModStats& s);
