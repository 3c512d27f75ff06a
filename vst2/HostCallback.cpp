#include "vst2/HostCallback.h"

#include <cstring>

#include "core/ProbeState.h"
#include "diag/FailurePoint.h"

namespace {

constexpr int32_t kVstNanosValid = 1 << 8;
constexpr int32_t kVstPpqPosValid = 1 << 9;
constexpr int32_t kVstTempoValid = 1 << 10;
constexpr int32_t kVstTimeSigValid = 1 << 13;
constexpr intptr_t kVstProcessLevelRealtime = 2;
constexpr int32_t kHostVendorQuery = 0x100;

VstTimeInfo g_timeInfo;

// A stopped transport at 120 BPM in 4/4; whatever the plug-in wrote into the
// record since the last request is gone.
VstTimeInfo* RefillTimeInfo() {
    memset(&g_timeInfo, 0, sizeof g_timeInfo);
    g_timeInfo.samplePos = 0.0;
    g_timeInfo.sampleRate = 44100.0;
    g_timeInfo.nanoSeconds = 0.0;
    g_timeInfo.tempo = 120.0;
    g_timeInfo.timeSigNumerator = 4;
    g_timeInfo.timeSigDenominator = 4;
    g_timeInfo.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
    return &g_timeInfo;
}

intptr_t CopyHostString(void* ptr, const char* text) {
    if (ptr) memcpy(ptr, text, strlen(text) + 1);
    return 1;
}

bool HostCanDo(const void* ptr) {
    if (!ptr) return false;
    const char* what = static_cast<const char*>(ptr);
    return !_stricmp(what, "sendVstTimeInfo") || !strcmp(what, "shellCategory");
}

}  // namespace

const VstTimeInfo* HostTimeInfo() {
    return &g_timeInfo;
}

intptr_t HostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float) {
    SetFunction(L"EffectMaster");
    switch (opcode) {
        case audioMasterVersion:
            return kHostVstVersion;
        case audioMasterCurrentId:
            return static_cast<intptr_t>(g_currentPluginId);
        case audioMasterWantMidi:
            g_eventsFlag = 1;
            return 0;
        case audioMasterGetTime:
            return reinterpret_cast<intptr_t>(RefillTimeInfo());
        case audioMasterProcessEvents:
            return 1;
        case audioMasterTempoAt:
            return 1200000;  // 120 BPM * 10000
        case audioMasterGetNumAutomatableParameters:
            return 1024;
        case audioMasterGetSampleRate:
            return 44100;
        case audioMasterGetBlockSize:
            return 512;
        case audioMasterGetCurrentProcessLevel:
            return kVstProcessLevelRealtime;
        case audioMasterGetVendorString:
            return CopyHostString(ptr, kHostVendorString);
        case audioMasterGetProductString:
            return CopyHostString(ptr, kHostProductString);
        case audioMasterGetVendorVersion:
            return kHostVendorVersion;
        case audioMasterVendorSpecific:
            return index == kHostVendorQuery ? 1 : 0;
        case audioMasterCanDo:
            return HostCanDo(ptr) ? 1 : 0;
        default:
            return 0;
    }
}
