// The VST 2 test plug-ins: every DLL built from this source is one row of
// kPlugins, chosen by its name (PLUGIN); the WITH_* definitions give it the
// entry points and imports its binary must have (see CMakeLists.txt).
#include <cstdlib>
#include <stdexcept>

#include "vst2/Shells.h"
#include "vst2/StripdeckPictures.h"

namespace {

constexpr const char* kLabs = "Tarnwell Test Labs";
constexpr const char* kBridgeLabs = "Tarnwell Bridge Labs";
constexpr int32_t kEditor = effFlagsHasEditor;
constexpr int32_t kSynth = effFlagsIsSynth | effFlagsCanReplacing | effFlagsHasEditor;

// ---- Faults on one dispatcher opcode ----------------------------------------

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
// Unbounded on purpose: runs the thread out of stack.
int Recurse(int depth) {
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + pad[0];
}
#pragma GCC diagnostic pop

enum class Fault { AccessViolation, CppThrow, StackOverflow };

template <int32_t Opcode, Fault Kind>
bool FaultOn(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    if (opcode != Opcode) return false;
    if (Kind == Fault::AccessViolation) plugin_kit::WriteThroughNull();  // never comes back
    if (Kind == Fault::CppThrow) throw std::runtime_error("plug-in gave up");
    *result = Recurse(0);
    return true;
}

// Behaves until its hook's opcode arrives; its effect name is the DLL's.
PluginTraits Crasher(const char* dll, PluginHook hook) {
    return {dll, dll, kLabs, "", 0x43525348, kEditor, hook};  // 'CRSH'
}

// ---- Dispatchers with a behaviour of their own --------------------------------

// Answers every question with nonsense: capabilities with 2 or -1 (neither
// counts as yes), a category no plug-in has, strings it never fills in.
bool Garbage(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    static int turn = 0;
    if (opcode == effClose) {
        delete effect;
        *result = 0x7F7F7F7F;
    } else if (opcode == effCanDo) {
        *result = (turn++ % 2) ? 2 : -1;
    } else {
        *result = opcode == effGetPlugCategory ? 0xDEAD : static_cast<intptr_t>(0xBADC0FFEE0DDF00DULL);
    }
    return true;
}

// Fills the whole 1024-byte string buffer without a terminator for name,
// vendor and product, 'a'..'z' repeated so a test can tell where it was cut.
bool Unterminated(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effGetEffectName && opcode != effGetVendorString && opcode != effGetProductString) return false;
    for (size_t i = 0; ptr && i < 1024; ++i) static_cast<char*>(ptr)[i] = static_cast<char>('a' + i % 26);
    *result = 1;
    return true;
}

// Names the VST 3 class {01234567-89AB-CDEF-0123-456789ABCDEF} it can be
// replaced by, answering the 'stCA'/'FUID' vendor query with sixteen bytes.
bool Vst3Fuid(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float, intptr_t* result) {
    static const unsigned char kFuid[16] = {0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                                            0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    if (opcode != effVendorSpecific || index != kVendorQueryCompatible || value != kVendorQueryFuid || !ptr)
        return false;
    memcpy(ptr, kFuid, sizeof kFuid);
    *result = 1;
    return true;
}

// Damages the header of a block it allocated from the process heap while it
// handles effOpen; the test that provokes it calls RepairHeap afterwards.
constexpr size_t kHeaderBytes = 16;
unsigned char* g_block = nullptr;
unsigned char g_saved[kHeaderBytes];

bool CorruptHeap(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    if (opcode != effOpen) return false;
    g_block = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, 200));
    if (g_block) {
        memcpy(g_saved, g_block - kHeaderBytes, kHeaderBytes);
        memset(g_block - kHeaderBytes, 0xA5, kHeaderBytes);
    }
    *result = 0;
    return true;
}

// The host's own channel-strip modules answer the vendor-specific queries
// for exclusivity (5002) and module type (5001, always 7).
template <int32_t Exclusive>
bool Strip(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode != effVendorSpecific || !ptr) return false;
    if (index != kVstParamStripdeckExclusive && index != kVstParamStripdeckModuleType) return false;
    *static_cast<int32_t*>(ptr) = index == kVstParamStripdeckExclusive ? Exclusive : 7;
    *result = 1;
    return true;
}

// A module that also hands out a thumbnail (5003, value 0) and a stand-in
// picture (value 1), and notes beside itself when it is closed whether the
// scanner has deleted the bitmaps it received (".handles").
HBITMAP g_handed[2] = {};

bool StripPictures(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                   intptr_t* result) {
    if (opcode == effVendorSpecific && index == kVstParamStripdeckBitmaps && ptr && (value == 0 || value == 1)) {
        g_handed[value] =
            stripdeck_pictures::Draw(value == 0 ? stripdeck_pictures::kThumbnail : stripdeck_pictures::kStandIn);
        *static_cast<HBITMAP*>(ptr) = g_handed[value];
        *result = 1;
        return true;
    }
    for (int i = 0; opcode == effClose && i < 2; ++i) {
        if (!g_handed[i]) continue;
        char line[64];
        snprintf(line, sizeof line, "%s %s\n", i == 0 ? "thumbnail" : "standin",
                 GetObjectType(g_handed[i]) == 0 ? "deleted" : "alive");
        plugin_kit::AppendBesideSelf(".handles", line);
        g_handed[i] = nullptr;
    }
    return opcode != effClose && Strip<0>(effect, opcode, index, value, ptr, opt, result);
}

// ---- Entry points with a behaviour of their own --------------------------------

AEffect* CrashInEntry(audioMasterCallback, const PluginTraits&) {
    plugin_kit::WriteThroughNull();
    return nullptr;
}
AEffect* ExitInEntry(audioMasterCallback, const PluginTraits&) {
    ExitProcess(4);
}
AEffect* HangInEntry(audioMasterCallback, const PluginTraits&) {
    for (;;) Sleep(1000);
}
AEffect* ReturnNull(audioMasterCallback, const PluginTraits&) {
    return nullptr;
}
// The effect's magic is 'VstP' byte-swapped: no instance for the scanner.
AEffect* WrongMagic(audioMasterCallback, const PluginTraits& traits) {
    AEffect* effect = CreateEffect(traits);
    effect->magic = 0x50747356;
    return effect;
}
AEffect* NullDispatcher(audioMasterCallback, const PluginTraits& traits) {
    AEffect* effect = CreateEffect(traits);
    effect->dispatcher = nullptr;
    return effect;
}
AEffect* WantsMidi(audioMasterCallback host, const PluginTraits& traits) {
    host(nullptr, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
    return CreateEffect(traits);
}

#ifdef WITH_RUNTIME
extern "C" __declspec(dllimport) int BesideRuntimeAnswer();
#endif
// Loads only when beside_runtime.dll is found, which for a plug-in folder
// means the loader searched the plug-in's own folder.
AEffect* NeedsRuntime(audioMasterCallback, const PluginTraits& traits) {
#ifdef WITH_RUNTIME
    return BesideRuntimeAnswer() == 42 ? CreateEffect(traits) : nullptr;
#else
    return CreateEffect(traits);
#endif
}

// ---- Shells ------------------------------------------------------------------

void Trio() {
    shells::Add(1001, "Trio\\Alpha", "Alpha from 1001", 4, "Shell Member", effFlagsIsSynth);
    shells::Add(1002, "Trio\\Beta", "Beta from 1002", 30, "Shell Member", effFlagsIsSynth);
    shells::Add(-1003, "Trio\\Gamma", "", 0, "Shell Member", effFlagsIsSynth);  // the listed name stays
}
void Bridged() {
    shells::Add(2001, "Bridged\\Organ", "Organ from 2001", 5, "Shell Member", effFlagsIsSynth);
    shells::Add(2002, "Bridged\\Pad", "Pad from 2002", 8, "Shell Member", effFlagsIsSynth);
}
void Utf8Member() {
    shells::Add(0x55544639,
                "\xC3\x9Cn\xC3\xAF"
                "code Caf\xC3\xA9 Shell",
                "", 0, "Shell Member", effFlagsIsSynth);
}
// Its number of members is read from "<this DLL>.count" (3 without the file).
void CountFromFile() {
    char text[16];
    int count = plugin_kit::ReadBesideSelf(".count", text, sizeof text) ? atoi(text) : 3;
    for (int i = 1; i <= count && i <= static_cast<int>(shells::kMaxMembers); ++i) {
        char name[64];
        wsprintfA(name, "Member %d", i);
        shells::Add(4000 + i, name, name);
    }
}
// Its second member is "Green Renamed" once a file "<this DLL>.renamed" lies beside it.
void Colours() {
    char unused[8];
    const char* green = plugin_kit::ReadBesideSelf(".renamed", unused, sizeof unused) ? "Green Renamed" : "Green";
    shells::Add(2001, "Red", "Red");
    shells::Add(2002, green, green);
    shells::Add(2003, "Blue", "Blue");
}
// Thirty members, listed as "Thirty\Voice NN".
void Thirty() {
    for (int i = 1; i <= 30; ++i) {
        char listed[64], name[64];
        wsprintfA(listed, "Thirty\\Voice %02d", i);
        wsprintfA(name, "Voice %02d", i);
        shells::Add(3000 + i, listed, name);
    }
}
void NoMembers() {}
void FirstSecondThird() {
    shells::Add(5001, "First", "First");
    shells::Add(5002, "Second", "Second");
    shells::Add(5003, "Third", "Third");
}

// An effect in UTF-8 names, or with a file "<dll>.shell" beside it a shell
// whose one member reports no name of its own.
const PluginTraits kUtf8Root = shells::Root("", nullptr);
AEffect* Utf8(audioMasterCallback host, const PluginTraits& effect) {
    char ignored[4];
    if (!plugin_kit::ReadBesideSelf(".shell", ignored, sizeof ignored)) return CreateEffect(effect);
    return shells::Create<Utf8Member, false>(host, kUtf8Root);
}

// ---- The plug-ins ------------------------------------------------------------

// In the order of PluginTraits' fields.
const PluginTraits kPlugins[] = {
    {"absurd_counts", "Absurd Counts", kLabs, "", -123456789, 0, nullptr, nullptr, "", 1, -5, 1000000, 0x7FFFFFFF, -1,
     -1},
    {"bridged_effect", "Bridged Echo", kBridgeLabs, "Bridged Echo Pro", 0x42724563, 0, nullptr, nullptr,
     "receiveVstTimeInfo|", 1, 3, 4, 2, 2, 1203},
    {"bridged_synth", "Bridged Keys", kBridgeLabs, "Bridged Keys Studio", 0x42724b79, kSynth, nullptr, nullptr,
     "receiveVstEvents|", 2, 12, 16, 0, 4},
    Crasher("crash_in_close", FaultOn<effClose, Fault::AccessViolation>),
    Crasher("crash_in_open", FaultOn<effOpen, Fault::AccessViolation>),
    Crasher("recurses_forever", FaultOn<effSetBlockSize, Fault::StackOverflow>),
    Crasher("throws_in_get_program", FaultOn<effGetProgram, Fault::CppThrow>),
    {"crash_in_entry", "", "", "", 0, 0, nullptr, CrashInEntry},
    {"exits_in_entry", "", "", "", 0, 0, nullptr, ExitInEntry},
    {"hang_in_entry", "", "", "", 0, 0, nullptr, HangInEntry},
    {"returns_null", "", "", "", 0, 0, nullptr, ReturnNull},
    {"exit_in_dllmain", "", "", "", 0, 0, nullptr, ReturnNull},
    {"wrong_magic", "Wrong Magic", "", "", 0x57524D47, 0, nullptr, WrongMagic},
    {"null_dispatcher", "No Dispatcher", "", "", 0x4E444953, 0, nullptr, NullDispatcher},
    {"effect_with_editor", "Echo Chamber", kLabs, "Echo Chamber Pro", 0x45434831,
     kEditor | effFlagsCanReplacing | effFlagsProgramChunks, nullptr, nullptr, "receiveVstTimeInfo|", 1, 12, 16, 2, 2,
     1203},
    // "main" comes first: the name the scanner records tells which one it called.
    {"entry_main_and_capital_main/main", "Created by main", kLabs, "", 0x6D61696E, kEditor},
    {"entry_main_and_capital_main/Main", "Created by Main", kLabs, "", 0x4D61696E, kEditor},
    {"garbage_answers", "", "", "", 0x47524247, kEditor, Garbage, nullptr, "", 1, 3},
    {"heap_corruptor", "Heap Corruptor", kLabs, "", 0x48454150, 0, CorruptHeap},
    {"load_recorder", "Load Recorder", kLabs, "Load Recorder", 0x4C4F4144, 0},
    {"needs_runtime", "Needs Runtime", kLabs, "", 0x4E52544D, 0, nullptr, NeedsRuntime},
    {"no_editor_50_params", "Fifty Faders", kLabs, "Fifty (0)", 0x46494654, 0, nullptr, nullptr,
     "sendVstEvents|receiveVstMidiEvents|", 1, 50, 0, 4, 6, 2400},
    {"no_editor_7_params", "Seven Knobs", "Caf\xE9 Audio", "Seven", 0x53564E37,  // vendor in code page 1252
     effFlagsCanReplacing | effFlagsCanDoubleReplacing, nullptr, nullptr, "", 1, 7, 3, 1, 1, 7},
    {"offline_norealtime", "Offline Renderer", kLabs, "Renderer", 0x4F46464C, kEditor, nullptr, nullptr,
     "noRealTime|receiveVstTimeInfo|"},
    {"stripdeck_bitmaps", "Strip Pictures", "Tarnwell", "Stripdeck", 0x53504943, kEditor, StripPictures},
    {"stripdeck_private_only", "Strip EQ", "Tarnwell", "Stripdeck", 0x53455130, kEditor, Strip<0>},
    {"stripdeck_with_vst_entry", "Strip Gate", "Tarnwell", "Stripdeck", 0x53474530, kEditor, Strip<0>},
    {"stripdeck_with_vst_entry_exclusive", "Strip Limiter", "Tarnwell", "Stripdeck", 0x534C4D30, kEditor, Strip<1>},
    // The private entry point wins: the scanner must never record these.
    {"stripdeck_with_vst_entry/VSTPluginMain", "Created by VSTPluginMain", "", "", 0x56535450, 0},
    {"stripdeck_with_vst_entry_exclusive/VSTPluginMain", "Created by VSTPluginMain", "", "", 0x56535450, 0},
    {"synth_wants_midi", "Pluck Synth", kLabs, "Pluck", 0x504C4B31, kSynth, nullptr, WantsMidi,
     "receiveVstEvents|sendVstMidiEvent|", 2, 30, 64, 0, 2},
    {"unterminated_long_strings", "", "", "", 0x4C4F4E47, kEditor, Unterminated},
    {"utf8_names", "Caf\xC3\xA9 R\xC3\xA9verb", "Tarnwell T\xC3\xABst Labs",
     "Pr\xC3\xB6"
     "duct \xE2\x84\xA2",
     0x55544638, 0, nullptr, Utf8},
    {"version_high_numbers", "Versioned", kLabs, "", 0x56455253, kEditor},
    {"vst3_compatible", "Compatible Reverb", kLabs, "Reverb", 0x52455642, kEditor, Vst3Fuid},
    shells::Root("bridged_shell", shells::Create<Bridged, false>),
    shells::Root("shell_three", shells::Create<Trio, false>),
    shells::Root("shell_empty", nullptr),
    shells::Root("shell_never_ends", shells::Create<NoMembers, false>, shells::ListForEver),
    shells::Root("shell_count_changes", shells::Create<CountFromFile, true>),
    shells::Root("shell_renames_member", shells::Create<Colours, true>),
    shells::Root("shell_thirty", shells::Create<Thirty, true>),
    shells::Root("shell_faults_on_second", shells::Create<FirstSecondThird, true, 5002>),
};

AEffect* Create(const char* entry, audioMasterCallback host) {
    return CreateFromTable(kPlugins, PLUGIN, entry, host);
}

}  // namespace

#ifdef WITH_VSTPLUGINMAIN
PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    return Create("VSTPluginMain", host);
}
#endif
#ifdef WITH_MAIN
// C++ reserves the name main for the program; the symbol is named in assembly.
PLUGIN_EXPORT AEffect* OldStyleMain(audioMasterCallback) __asm__("main");
AEffect* OldStyleMain(audioMasterCallback host) {
    return Create("main", host);
}
#endif
#ifdef WITH_CAPITAL_MAIN
PLUGIN_EXPORT AEffect* Main(audioMasterCallback host) {
    return Create("Main", host);
}
#endif
#ifdef WITH_ZENTA
PLUGIN_EXPORT AEffect* ZENTAPluginMain(audioMasterCallback host) {
    return Create("ZENTAPluginMain", host);
}
#endif
#ifdef WITH_REPAIRHEAP
PLUGIN_EXPORT void RepairHeap() {
    if (!g_block) return;
    memcpy(g_block - kHeaderBytes, g_saved, kHeaderBytes);
    HeapFree(GetProcessHeap(), 0, g_block);
    g_block = nullptr;
}
#endif

// exit_in_dllmain ends the whole process as soon as it is loaded, so only the
// crash marker written before can tell the tale; load_recorder appends a
// line to "<its own path>.loads" every time it is loaded.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH && !strcmp(PLUGIN, "exit_in_dllmain")) ExitProcess(3);
    if (reason == DLL_PROCESS_ATTACH && !strcmp(PLUGIN, "load_recorder"))
        plugin_kit::AppendBesideSelf(".loads", "load\n");
    return TRUE;
}
