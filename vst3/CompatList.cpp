#include "vst3/CompatList.h"

#include <algorithm>
#include <vector>

#include "diag/ScanLog.h"
#include "vst3/HostMessage.h"

using namespace Steinberg;

namespace {

std::vector<Vst::ParamID> MappableParameters(Vst::IEditController* controller) {
    std::vector<Vst::ParamID> ids;
    if (!controller) return ids;
    int32 count = std::min(controller->getParameterCount(), kMaxMappableParameterScan);
    for (int32 i = 0; i < count; ++i) {
        Vst::ParameterInfo info{};
        if (controller->getParameterInfo(i, info) != kResultOk) continue;
        const int32 excluded = Vst::ParameterInfo::kIsReadOnly | Vst::ParameterInfo::kIsProgramChange;
        if ((info.flags & Vst::ParameterInfo::kCanAutomate) && !(info.flags & excluded)) ids.push_back(info.id);
    }
    return ids;
}

// Our own attribute list always terminates; the last character is cleared
// anyway so the field can be trusted whoever filled it.
template <size_t N>
bool GetText(Vst::IAttributeList* attributes, const char* id, wchar_t (&field)[N]) {
    char16 text[N] = {};
    if (attributes->getString(id, text, sizeof text) != kResultOk) return false;
    text[N - 1] = 0;
    for (size_t i = 0; i < N; ++i) field[i] = static_cast<wchar_t>(text[i]);
    return true;
}

}  // namespace

bool ReadCompatibilityList(Tarnwell::IVstCompatibilityList* list, Vst::IEditController* controller,
                           CompatList& entries) {
    if (!list) return false;
    int32 count = list->getCount();
    if (count <= 0) return false;
    count = std::min(count, kMaxCompatEntries);
    std::vector<Vst::ParamID> mappable = MappableParameters(controller);

    for (int32 index = 0; index < count; ++index) {
        Vst::HostAttributeList* attributes = new Vst::HostAttributeList();
        list->getEntry(index, attributes);

        CompatEntry entry;
        entry.replacementPolicy = 1;
        int64 value = 0;
        if (attributes->getInt(Tarnwell::kAttrPluginType, value) == kResultOk) {
            entry.pluginType = static_cast<int32>(value);
        } else {
            WriteLog(L"Failure to get compatible plugin type\r\n");
        }
        bool keep = entry.pluginType == 2 || entry.pluginType == 3;
        if (keep && !GetText(attributes, Tarnwell::kAttrPluginUID, entry.pluginUID)) {
            WriteLog(L"Failure to get compatible plugin UID\r\n");
            keep = false;
        }
        if (keep) {
            if (!GetText(attributes, Tarnwell::kAttrPluginName, entry.pluginName)) {
                entry.pluginName[0] = 0;
                WriteLog(L"Failure to get compatible plugin name\r\n");
            }
            if (attributes->getInt(Tarnwell::kAttrReplacementPolicy, value) == kResultOk) {
                entry.replacementPolicy = static_cast<int32>(value & 0xFFFFFFFF);
            } else {
                WriteLog(L"Failure to get compatible plugin replacement policy\r\n");
            }
            for (Vst::ParamID id : mappable) {
                int32 mapped = -1;
                if (list->getParameterMapping(index, id, mapped) == kResultOk)
                    entry.paramMap[static_cast<int32_t>(id)] = mapped;
            }
            entries.push_back(entry);
        }
        attributes->release();
    }
    return true;
}
