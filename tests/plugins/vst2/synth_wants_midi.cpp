// An instrument that asks the host for MIDI while it is created.
#include "PluginKit.h"

namespace {
const char* const kCanDo[] = {"receiveVstEvents", "sendVstMidiEvent", nullptr};
PluginTraits Traits() {
    PluginTraits s;
    s.name = "Pluck Synth";
    s.vendor = "Tarnwell Test Labs";
    s.product = "Pluck";
    s.uniqueId = 0x504C4B31;  // 'PLK1'
    s.category = 2;           // kPlugCategSynth
    s.flags = effFlagsIsSynth | effFlagsCanReplacing | effFlagsHasEditor;
    s.numInputs = 0;
    s.numOutputs = 2;
    s.numParams = 30;
    s.numPrograms = 64;
    s.canDo = kCanDo;
    return s;
}
const PluginTraits kTraits = Traits();
}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    host(nullptr, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
    return CreateEffect(kTraits);
}
