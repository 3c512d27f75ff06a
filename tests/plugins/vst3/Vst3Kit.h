// A small kit for the VST 3 test modules: one object plays a class's
// component or its edit controller, one factory serves the module's rows of
// ClassTraits. A module's misbehaviour is picked by its name (MODULE, see
// Is). Every lifecycle call is appended to "<module path>.trace", one line
// each, so a test can check what the scanner called and in which order.
#pragma once

#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "BesideSelf.h"
#include "vst3/PersistCompatApi.h"
#include "vst3/Vst3Api.h"

#define VST3_EXPORT extern "C" __declspec(dllexport)

namespace kit {

using namespace Steinberg;
using namespace Steinberg::Vst;

// Whether this DLL is the module `name`.
inline bool Is(const char* name) {
    return strcmp(MODULE, name) == 0;
}

inline void Trace(const char* format, ...) {
    char line[512] = {};
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    line[strlen(line)] = '\n';  // the buffer's last byte stays the terminator
    plugin_kit::AppendBesideSelf(".trace", line);
}

inline bool SameId(const void* a, const FUID& b) {
    return a && memcmp(a, static_cast<FIDString>(b), 16) == 0;
}

inline void CopyText(char* field, size_t size, const char* text) {
    memset(field, 0, size);
    if (text) strncpy(field, text, size - 1);
}

inline void CopyText16(char16* field, size_t chars, const char16* text) {
    memset(field, 0, chars * sizeof(char16));
    for (size_t i = 0; text && i + 1 < chars && text[i]; ++i) field[i] = text[i];
}

// A class id of the test modules: `first` and a tail they all share.
inline FUID Cid(uint32 first) {
    return FUID(first, 0x11112222, 0x33334444, 0x55556666);
}

struct Bus {
    int32 channels;
    int32 busType;
};
struct Param {
    ParamID id;
    int32 flags;
};
struct Unit {
    UnitID id;
    ProgramListID programListId;
};
struct ProgramList {
    ProgramListID id;
    int32 programs;
};

// One parameter mapping of a compatibility entry.
struct Mapping {
    ParamID id;
    int32 value;
    tresult result = kResultOk;
    bool writes = true;  // false: answers without touching the value
};

// One entry of a compatibility list; a null text or a negative number leaves
// that attribute out.
struct CompatEntry {
    int64 type;
    const char16* uid;
    const char16* name;
    int64 policy;
    const Mapping* mappings = nullptr;
    int32 numMappings = 0;
};

class CompatibilityList : public Tarnwell::IVstCompatibilityList {
public:
    CompatibilityList(const char* label, const CompatEntry* entries, int32 count)
        : label_(label), entries_(entries), count_(count) {}

    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
        if (obj) *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }  // static, borrowed by the host
    uint32 PLUGIN_API release() override {
        Trace("release %s list", label_);
        return 1;
    }
    int32 PLUGIN_API getCount() override { return count_; }
    tresult PLUGIN_API getEntry(int32 index, IAttributeList* attributes) override {
        if (index < 0 || index >= count_ || !attributes) return kInvalidArgument;
        const CompatEntry& e = entries_[index];
        if (e.type >= 0) attributes->setInt(Tarnwell::kAttrPluginType, e.type);
        if (e.uid) attributes->setString(Tarnwell::kAttrPluginUID, e.uid);
        if (e.name) attributes->setString(Tarnwell::kAttrPluginName, e.name);
        if (e.policy >= 0) attributes->setInt(Tarnwell::kAttrReplacementPolicy, e.policy);
        return kResultOk;
    }
    tresult PLUGIN_API getParameterMapping(int32 index, ParamID id, int32& value) override {
        Trace("mapping %s %d %u", label_, index, id);
        if (index < 0 || index >= count_) return kInvalidArgument;
        const CompatEntry& e = entries_[index];
        for (int32 i = 0; i < e.numMappings; ++i)
            if (e.mappings[i].id == id) {
                if (e.mappings[i].writes) value = e.mappings[i].value;
                return e.mappings[i].result;
            }
        return kResultFalse;
    }

private:
    const char* label_;
    const CompatEntry* entries_;
    int32 count_;
};

struct ClassTraits {
    const char* module;  // the module (MODULE) that has this class
    uint32 cid;          // see Cid
    uint32 controller;   // the controller class's, or 0: the component is its own controller
    const char* name;
    const char* subCategories = "Fx";
    int32 numParams = 0;  // automatable, with ids 100, 101, ... unless `params` lists them
    const Bus* audioIns = nullptr;
    int32 numAudioIns = 0;
    const Bus* audioOuts = nullptr;
    int32 numAudioOuts = 0;
    int32 eventIns = 0;
    int32 eventOuts = 0;
    const char* category = kVstAudioEffectClass;
    const Param* params = nullptr;
    const Unit* units = nullptr;  // no IUnitInfo without units
    int32 numUnits = 0;
    const ProgramList* lists = nullptr;
    int32 numLists = 0;
    CompatibilityList* forward = nullptr;  // with either list, it answers the persist interface
    CompatibilityList* backward = nullptr;
};

// A class's component, or (`component` false) its separate edit controller.
class Object : public IComponent,
               public IAudioProcessor,
               public IConnectionPoint,
               public IEditController,
               public IUnitInfo,
               public ARA::IPlugInEntryPoint,
               public Tarnwell::IVstPersistCompatibility {
public:
    Object(const ClassTraits& traits, bool component)
        : traits_(traits), what_(component ? "component" : "controller"), component_(component) {}
    virtual ~Object() = default;

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        const bool editor = !component_ || (!traits_.controller && !Is("zero_controller_id"));
        const bool units = traits_.numUnits > 0 || (!component_ && Is("garbage_info"));
        if (component_ && Is("null_audio_processor") && SameId(iid, IAudioProcessor::iid)) {
            Trace("IAudioProcessor null");
            return kResultOk;  // and hands out nothing
        }
        if (SameId(iid, FUnknown::iid) || SameId(iid, IPluginBase::iid))
            *obj =
                component_ ? static_cast<void*>(static_cast<IComponent*>(this)) : static_cast<IEditController*>(this);
        else if (component_ && SameId(iid, IComponent::iid))
            *obj = static_cast<IComponent*>(this);
        else if (component_ && SameId(iid, IAudioProcessor::iid))
            *obj = static_cast<IAudioProcessor*>(this);
        else if (SameId(iid, IConnectionPoint::iid))
            *obj = static_cast<IConnectionPoint*>(this);
        else if (editor && SameId(iid, IEditController::iid))
            *obj = static_cast<IEditController*>(this);
        else if (editor && units && SameId(iid, IUnitInfo::iid))
            *obj = static_cast<IUnitInfo*>(this);
        else if (component_ && Is("ara_entry_point") && SameId(iid, ARA::IPlugInEntryPoint::iid))
            *obj = static_cast<ARA::IPlugInEntryPoint*>(this);
        else if (component_ && traits_.forward && SameId(iid, Tarnwell::IVstPersistCompatibility::iid))
            *obj = static_cast<Tarnwell::IVstPersistCompatibility*>(this);
        if (!*obj) return kNoInterface;
        addRef();
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return static_cast<uint32>(++refs_); }
    uint32 PLUGIN_API release() override {
        int32 left = --refs_;
        if (left == 0) {
            Trace("destroy %s %s", what_, traits_.name);
            delete this;
        }
        return static_cast<uint32>(left < 0 ? 0 : left);
    }

    // IPluginBase, for both halves. One module releases the host context
    // three times more than it took references, and still uses it when it
    // is terminated.
    tresult PLUGIN_API initialize(FUnknown* context) override {
        if (component_ && Is("host_over_release")) {
            context_ = context;
            for (int i = 0; i < 3; ++i) context->release();
        }
        Trace("initialize %s %s", what_, traits_.name);
        return component_ && Is("initialize_fails") ? kInternalError : kResultOk;
    }
    tresult PLUGIN_API terminate() override {
        void* host = nullptr;
        if (context_ && context_->queryInterface(IHostApplication::iid, &host) == kResultOk) {
            String128 name = {};
            static_cast<IHostApplication*>(host)->getName(name);
            static_cast<IHostApplication*>(host)->release();
        }
        Trace("terminate %s %s", what_, traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }

    // IComponent. One module writes through a null pointer when asked for
    // bus info; another reports absurd bus counts and texts without end.
    tresult PLUGIN_API getControllerClassId(TUID classId) override {
        if (Is("zero_controller_id")) Trace("getControllerClassId zero");
        FUID(traits_.controller ? Cid(traits_.controller) : FUID()).toTUID(classId);
        return kResultOk;
    }
    tresult PLUGIN_API setIoMode(IoMode mode) override {
        Trace("setIoMode %d %s", mode, traits_.name);
        return kResultOk;
    }
    int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override {
        if (type == kEvent) return Is("garbage_info") ? 0 : dir == kInput ? traits_.eventIns : traits_.eventOuts;
        if (Is("garbage_info")) return dir == kInput ? INT_MAX : -3;
        return dir == kInput ? traits_.numAudioIns : traits_.numAudioOuts;
    }
    tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override {
        if (Is("crash_in_get_bus_info")) {
            Trace("getBusInfo crash");
            *static_cast<volatile int*>(nullptr) = 0x0BADF00D;
        }
        memset(&bus, 0, sizeof bus);
        if (Is("garbage_info")) {
            if (index != 0) return kResultFalse;
            bus.channelCount = -4;
            memset(bus.name, 'B', sizeof bus.name);  // no terminator
            return kResultOk;
        }
        bus.mediaType = type;
        bus.direction = dir;
        if (type == kEvent) {
            bus.channelCount = 16;
            return kResultOk;
        }
        const Bus* buses = dir == kInput ? traits_.audioIns : traits_.audioOuts;
        int32 count = dir == kInput ? traits_.numAudioIns : traits_.numAudioOuts;
        if (index < 0 || index >= count) return kInvalidArgument;
        bus.channelCount = buses[index].channels;
        bus.busType = buses[index].busType;
        return kResultOk;
    }
    tresult PLUGIN_API getRoutingInfo(RoutingInfo&, RoutingInfo&) override { return kNotImplemented; }
    tresult PLUGIN_API activateBus(MediaType, BusDirection, int32, TBool) override { return kResultOk; }
    tresult PLUGIN_API setActive(TBool) override { return kResultOk; }

    // IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*, int32) override {
        return kResultFalse;
    }
    tresult PLUGIN_API getBusArrangement(BusDirection, int32, SpeakerArrangement&) override { return kResultFalse; }
    tresult PLUGIN_API canProcessSampleSize(int32 size) override {
        const bool ok = size == kSample32 || (size == kSample64 && Is("double_precision"));
        return ok ? kResultOk : kResultFalse;
    }
    uint32 PLUGIN_API getLatencySamples() override { return 0; }
    tresult PLUGIN_API setupProcessing(ProcessSetup&) override { return kResultOk; }
    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }
    tresult PLUGIN_API process(ProcessData&) override { return kResultOk; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

    // IConnectionPoint
    tresult PLUGIN_API connect(IConnectionPoint*) override {
        Trace("connect %s %s", what_, traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API disconnect(IConnectionPoint*) override {
        Trace("disconnect %s %s", what_, traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API notify(IMessage*) override { return kResultOk; }

    // IEditController
    tresult PLUGIN_API setComponentState(IBStream*) override { return kResultOk; }
    int32 PLUGIN_API getParameterCount() override { return Is("garbage_info") ? -7 : traits_.numParams; }
    tresult PLUGIN_API getParameterInfo(int32 index, ParameterInfo& info) override {
        if (index < 0 || index >= traits_.numParams) return kInvalidArgument;
        memset(&info, 0, sizeof info);
        info.id = traits_.params ? traits_.params[index].id : 100 + static_cast<ParamID>(index);
        info.flags = traits_.params ? traits_.params[index].flags : ParameterInfo::kCanAutomate;
        return kResultOk;
    }
    tresult PLUGIN_API getParamStringByValue(ParamID, ParamValue, String128) override { return kNotImplemented; }
    tresult PLUGIN_API getParamValueByString(ParamID, TChar*, ParamValue&) override { return kNotImplemented; }
    ParamValue PLUGIN_API normalizedParamToPlain(ParamID, ParamValue v) override { return v; }
    ParamValue PLUGIN_API plainParamToNormalized(ParamID, ParamValue v) override { return v; }
    ParamValue PLUGIN_API getParamNormalized(ParamID) override { return 0; }
    tresult PLUGIN_API setParamNormalized(ParamID, ParamValue) override { return kResultOk; }
    tresult PLUGIN_API setComponentHandler(IComponentHandler*) override { return kResultOk; }
    IPlugView* PLUGIN_API createView(FIDString) override { return nullptr; }

    // IUnitInfo
    int32 PLUGIN_API getUnitCount() override { return Is("garbage_info") ? INT_MAX : traits_.numUnits; }
    tresult PLUGIN_API getUnitInfo(int32 index, UnitInfo& info) override {
        if (Is("garbage_info")) {
            memset(&info, 0xFF, sizeof info);
            return kResultFalse;
        }
        if (index < 0 || index >= traits_.numUnits) return kInvalidArgument;
        info.id = traits_.units[index].id;
        info.parentUnitId = index == 0 ? kNoParentUnitId : kRootUnitId;
        info.programListId = traits_.units[index].programListId;
        return kResultOk;
    }
    int32 PLUGIN_API getProgramListCount() override { return Is("garbage_info") ? INT_MAX : traits_.numLists; }
    tresult PLUGIN_API getProgramListInfo(int32 index, ProgramListInfo& info) override {
        if (index < 0 || index >= traits_.numLists) return kInvalidArgument;
        info.id = traits_.lists[index].id;
        info.programCount = traits_.lists[index].programs;
        return kResultOk;
    }
    tresult PLUGIN_API getProgramName(ProgramListID, int32, String128) override { return kResultFalse; }
    tresult PLUGIN_API getProgramInfo(ProgramListID, int32, CString, String128) override { return kResultFalse; }
    tresult PLUGIN_API hasProgramPitchNames(ProgramListID, int32) override { return kResultFalse; }
    tresult PLUGIN_API getProgramPitchName(ProgramListID, int32, int16, String128) override { return kResultFalse; }
    UnitID PLUGIN_API getSelectedUnit() override { return kRootUnitId; }
    tresult PLUGIN_API selectUnit(UnitID) override { return kResultOk; }
    tresult PLUGIN_API getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override { return kResultFalse; }
    tresult PLUGIN_API setUnitProgramData(int32, int32, IBStream*) override { return kResultFalse; }

    // ARA::IPlugInEntryPoint
    const ARA::ARAFactory* PLUGIN_API getFactory() override { return nullptr; }
    const ARA::ARAPlugInExtensionInstance* PLUGIN_API bindToDocumentController(ARA::ARADocumentControllerRef) override {
        return nullptr;
    }

    // Tarnwell::IVstPersistCompatibility
    tresult PLUGIN_API getForwardCompatibility(Tarnwell::IVstCompatibilityList** list) override {
        if (!list) return kInvalidArgument;
        *list = traits_.forward;
        return traits_.forward ? kResultOk : kResultFalse;
    }
    tresult PLUGIN_API getBackwardCompatibility(Tarnwell::IVstCompatibilityList** list) override {
        if (!list) return kInvalidArgument;
        *list = traits_.backward;
        return traits_.backward ? kResultOk : kResultFalse;
    }

private:
    const ClassTraits& traits_;
    const char* what_;
    bool component_;
    FUnknown* context_ = nullptr;
    std::atomic<int32> refs_{1};
};

}  // namespace kit
