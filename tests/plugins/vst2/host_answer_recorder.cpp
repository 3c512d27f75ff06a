// Asks the host everything a plug-in may ask while it is created, and again
// for its id while it is opened, and writes every answer to
// "<its own path>.answers", one "key value" line each, for the tests to check.
#include <string>

#include "PluginKit.h"

namespace {

std::string g_lines;

void Note(const char* key, long long value) {
    char line[160];
    snprintf(line, sizeof line, "%s %lld\n", key, value);
    g_lines += line;
}

void NoteText(const char* key, const char* text) {
    g_lines += std::string(key) + ' ' + text + '\n';
}

void AskTime(audioMasterCallback host) {
    VstTimeInfo* first = reinterpret_cast<VstTimeInfo*>(host(nullptr, audioMasterGetTime, 0, 0xFFFF, nullptr, 0));
    if (!first) return;
    Note("time.samplePos", static_cast<long long>(first->samplePos));
    Note("time.sampleRate", static_cast<long long>(first->sampleRate));
    Note("time.ppqPos", static_cast<long long>(first->ppqPos));
    Note("time.tempo", static_cast<long long>(first->tempo));
    Note("time.timeSigNumerator", first->timeSigNumerator);
    Note("time.timeSigDenominator", first->timeSigDenominator);
    Note("time.flags", first->flags);
    // Scribble over the record; the next request must refill it.
    first->tempo = 99.0;
    first->flags = 0x7;
    VstTimeInfo* second = reinterpret_cast<VstTimeInfo*>(host(nullptr, audioMasterGetTime, 0, 0, nullptr, 0));
    Note("time.sameAddress", second == first ? 1 : 0);
    if (!second) return;
    Note("time.again.tempo", static_cast<long long>(second->tempo));
    Note("time.again.flags", second->flags);
}

void AskStrings(audioMasterCallback host) {
    char text[256];
    memset(text, 'x', sizeof text);
    Note("op32", host(nullptr, audioMasterGetVendorString, 0, 0, text, 0));
    NoteText("op32.text", text);
    memset(text, 'x', sizeof text);
    Note("op33", host(nullptr, audioMasterGetProductString, 0, 0, text, 0));
    NoteText("op33.text", text);
}

// Capabilities in several spellings, the last one empty.
void AskCapabilities(audioMasterCallback host) {
    const char* asked =
        "sendVstTimeInfo|SENDVSTTIMEINFO|sendvsttimeinfo|shellCategory|ShellCategory|SHELLCATEGORY|"
        "receiveVstEvents|sendVstEvents|supplyIdle|sizeWindow|";
    for (const char* c = asked; c;) {
        const char* end = strchr(c, '|');
        std::string what = end ? std::string(c, end) : c;
        std::string key = "canDo." + (what.empty() ? "(empty)" : what);
        Note(key.c_str(), host(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(what.c_str()), 0));
        c = end ? end + 1 : nullptr;
    }
}

void AskEverything(audioMasterCallback host) {
    Note("currentId.create", host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0));
    // Plain answers, asked with a scratch buffer in case a host writes to ptr.
    char scratch[512] = {};
    const int32_t kPlain[] = {0,  1,  3,  4,  5,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                              25, 26, 27, 28, 29, 30, 31, 34, 36, 38, 39, 40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 99};
    for (int32_t opcode : kPlain) {
        char key[32];
        snprintf(key, sizeof key, "op%d", opcode);
        Note(key, host(nullptr, opcode, 0, 0, scratch, 0));
    }
    Note("op-1", host(nullptr, -1, 0, 0, scratch, 0));
    Note("op-100", host(nullptr, -100, 0, 0, scratch, 0));
    Note("op35.256", host(nullptr, audioMasterVendorSpecific, 256, 0, scratch, 0));
    Note("op35.255", host(nullptr, audioMasterVendorSpecific, 255, 0, scratch, 0));
    Note("op35.0", host(nullptr, audioMasterVendorSpecific, 0, 0, scratch, 0));
    Note("op37.null", host(nullptr, audioMasterCanDo, 0, 0, nullptr, 0));
    AskStrings(host);
    AskCapabilities(host);
    AskTime(host);
    // Last, so that nothing above depends on it.
    Note("op6", host(nullptr, audioMasterWantMidi, 0, 1, nullptr, 0));
}

audioMasterCallback g_host = nullptr;

bool Hook(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t*) {
    if (opcode == effOpen && g_host) {
        Note("currentId.open", g_host(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0));
        plugin_kit::AppendBesideSelf(".answers", g_lines.c_str());
        g_lines.clear();
    }
    return false;
}

const PluginTraits kTraits{"host_answer_recorder", "Host Answer Recorder", "", "", 0x52435244, 0, Hook};  // 'RCRD'

}  // namespace

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) {
    g_host = host;
    AskEverything(host);
    return CreateEffect(kTraits);
}
