// The VST 2.4 plug-in binary interface, as far as the scanner and our test
// plug-ins use it: the AEffect layout, the callback signatures and the opcode
// and flag numbers. Written from the published interface; a build against the
// original headers could replace this file.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#pragma pack(push, 8)
#endif

struct AEffect;

typedef intptr_t (*audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt);
typedef intptr_t (*AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                          float opt);
typedef void (*AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
typedef void (*AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs, int32_t sampleFrames);
typedef void (*AEffectSetParameterProc)(AEffect* effect, int32_t index, float parameter);
typedef float (*AEffectGetParameterProc)(AEffect* effect, int32_t index);

// 'VstP'
constexpr int32_t kEffectMagic = 0x56737450;

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // deprecated
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;  // deprecated
    int32_t offQualities;   // deprecated
    float ioRatio;          // deprecated
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

#if defined(_WIN32)
#pragma pack(pop)
#endif

static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo layout");

// Effect flags.
constexpr int32_t effFlagsHasEditor = 1 << 0;
constexpr int32_t effFlagsCanReplacing = 1 << 4;
constexpr int32_t effFlagsProgramChunks = 1 << 5;
constexpr int32_t effFlagsIsSynth = 1 << 8;
constexpr int32_t effFlagsNoSoundInStop = 1 << 9;
constexpr int32_t effFlagsCanDoubleReplacing = 1 << 12;

// Effect opcodes (dispatcher), VST 2.4 numbering.
enum Vst2EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetVstVersion = 58,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
};

constexpr int kEffectOpcodeNames = 80;
// "effOpen" (0) to "effGetNumMidiOutputChannels" (79).
extern const wchar_t* const kEffectOpcodeName[kEffectOpcodeNames];

// Host opcodes (callback), VST 2.4 numbering.
enum Vst2HostOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterGetDirectory = 41,
};

// Plug-in categories.
constexpr intptr_t kPlugCategOfflineProcess = 9;
constexpr intptr_t kPlugCategShell = 10;

// Vendor-specific queries of the host's own channel-strip modules.
constexpr int32_t kVstParamStripdeckModuleType = 5001;
constexpr int32_t kVstParamStripdeckExclusive = 5002;
constexpr int32_t kVstParamStripdeckBitmaps = 5003;

// The query for the VST 3 class a VST 2 plug-in is compatible with.
constexpr int32_t kVendorQueryCompatible = 0x73744341;  // 'stCA'
constexpr intptr_t kVendorQueryFuid = 0x46554944;       // 'FUID'
