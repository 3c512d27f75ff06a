#include "RelayedEffect.h"

#include <cstring>

namespace {

// The bridge names its server in every vendor and product string it relays.
constexpr char kServerSuffix[] = " (0)";
// The longest vendor or product string a plug-in may write (VST 2.4:
// kVstMaxVendorStrLen, kVstMaxProductStrLen), terminator included.
constexpr size_t kMaxRelayedText = 64;

struct RelayedEffect {
    AEffect face;  // first member: the AEffect* the scanner holds is this object
    AEffect* plugin;
    HMODULE module;
};

RelayedEffect* Of(AEffect* face) {
    return reinterpret_cast<RelayedEffect*>(face);
}

void AppendServerSuffix(char* text) {
    const size_t length = strnlen(text, kMaxRelayedText);
    if (length + sizeof kServerSuffix <= kMaxRelayedText) memcpy(text + length, kServerSuffix, sizeof kServerSuffix);
}

// The scanner reads the fields after the calls: a plug-in may change them
// while it is opened, and the proxy shows what the plug-in shows.
void Mirror(RelayedEffect* relay) {
    const AEffect& p = *relay->plugin;
    AEffect& f = relay->face;
    f.numPrograms = p.numPrograms;
    f.numParams = p.numParams;
    f.numInputs = p.numInputs;
    f.numOutputs = p.numOutputs;
    f.flags = p.flags;
    f.initialDelay = p.initialDelay;
    f.ioRatio = p.ioRatio;
    f.uniqueID = p.uniqueID;
    f.version = p.version;
}

intptr_t Dispatch(AEffect* face, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    RelayedEffect* relay = Of(face);
    const intptr_t result = relay->plugin->dispatcher(relay->plugin, opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The plug-in has released its instance; its code is no longer needed.
        FreeLibrary(relay->module);
        delete relay;
        return result;
    }
    if ((opcode == effGetVendorString || opcode == effGetProductString) && ptr)
        AppendServerSuffix(static_cast<char*>(ptr));
    Mirror(relay);
    return result;
}

void Process(AEffect* face, float** inputs, float** outputs, int32_t frames) {
    AEffect* p = Of(face)->plugin;
    if (p->process) p->process(p, inputs, outputs, frames);
}

void ProcessReplacing(AEffect* face, float** inputs, float** outputs, int32_t frames) {
    AEffect* p = Of(face)->plugin;
    if (p->processReplacing) p->processReplacing(p, inputs, outputs, frames);
}

void ProcessDoubleReplacing(AEffect* face, double** inputs, double** outputs, int32_t frames) {
    AEffect* p = Of(face)->plugin;
    if (p->processDoubleReplacing) p->processDoubleReplacing(p, inputs, outputs, frames);
}

void SetParameter(AEffect* face, int32_t index, float value) {
    AEffect* p = Of(face)->plugin;
    if (p->setParameter) p->setParameter(p, index, value);
}

float GetParameter(AEffect* face, int32_t index) {
    AEffect* p = Of(face)->plugin;
    return p->getParameter ? p->getParameter(p, index) : 0.0f;
}

}  // namespace

AEffect* RelayEffect(AEffect* plugin, HMODULE module) {
    RelayedEffect* relay = new RelayedEffect{};
    relay->plugin = plugin;
    relay->module = module;
    AEffect& f = relay->face;
    f.magic = kEffectMagic;
    f.dispatcher = Dispatch;
    f.process = Process;
    f.setParameter = SetParameter;
    f.getParameter = GetParameter;
    f.processReplacing = ProcessReplacing;
    f.processDoubleReplacing = ProcessDoubleReplacing;
    Mirror(relay);
    return &relay->face;
}
