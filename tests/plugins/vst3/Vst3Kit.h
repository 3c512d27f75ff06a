// A small kit for the VST 3 test modules: each module describes its classes
// in ClassTraits and a ModuleTraits, and may derive from the kit's component,
// controller or factory to carry the one misbehaviour it exists to show.
// Every lifecycle call is appended to "<module path>.trace", one line each,
// so a test can check what the scanner called and in which order.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "vst3/PersistCompatApi.h"
#include "vst3/Vst3Api.h"

#define VST3_EXPORT extern "C" __declspec(dllexport)

namespace kit {

using namespace Steinberg;

inline HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

inline void Trace(const char* format, ...) {
    wchar_t path[MAX_PATH + 8] = {};
    GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    lstrcatW(path, L".trace");
    char line[512];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof line) - 2) n = sizeof line - 2;
    line[n++] = '\n';
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(file);
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

struct Bus {
    int32 channels;
    int32 busType;
};
struct Param {
    Vst::ParamID id;
    int32 flags;
};
struct Unit {
    Vst::UnitID id;
    Vst::ProgramListID programListId;
};
struct ProgramList {
    Vst::ProgramListID id;
    int32 programs;
};

// One parameter mapping of a compatibility entry.
struct Mapping {
    Vst::ParamID id;
    int32 value;
    tresult result = kResultOk;
    bool writes = true;  // false: answers without touching the value
};

// One entry of a compatibility list; a null text or a negative number leaves
// that attribute out.
struct CompatEntryTraits {
    int64 type = 3;
    const char16* uid = nullptr;
    const char16* name = nullptr;
    int64 policy = -1;
    const Mapping* mappings = nullptr;
    int32 numMappings = 0;
};

class CompatibilityList : public Tarnwell::IVstCompatibilityList {
public:
    CompatibilityList(const char* label, const CompatEntryTraits* entries, int32 count)
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
    tresult PLUGIN_API getEntry(int32 index, Vst::IAttributeList* attributes) override {
        if (index < 0 || index >= count_ || !attributes) return kInvalidArgument;
        const CompatEntryTraits& e = entries_[index];
        if (e.type >= 0) attributes->setInt(Tarnwell::kAttrPluginType, e.type);
        if (e.uid) attributes->setString(Tarnwell::kAttrPluginUID, e.uid);
        if (e.name) attributes->setString(Tarnwell::kAttrPluginName, e.name);
        if (e.policy >= 0) attributes->setInt(Tarnwell::kAttrReplacementPolicy, e.policy);
        return kResultOk;
    }
    tresult PLUGIN_API getParameterMapping(int32 index, Vst::ParamID id, int32& value) override {
        Trace("mapping %s %d %u", label_, index, id);
        if (index < 0 || index >= count_) return kInvalidArgument;
        const CompatEntryTraits& e = entries_[index];
        for (int32 i = 0; i < e.numMappings; ++i)
            if (e.mappings[i].id == id) {
                if (e.mappings[i].writes) value = e.mappings[i].value;
                return e.mappings[i].result;
            }
        return kResultFalse;
    }

private:
    const char* label_;
    const CompatEntryTraits* entries_;
    int32 count_;
};

struct ClassTraits;
class Component;
class Controller;

struct ClassTraits {
    FUID cid;
    const char* name = "";
    const char* category = Vst::kVstAudioEffectClass;
    const char* subCategories = "Fx";
    FUID controllerCid;  // all zero: the component is its own controller
    bool connectionPoints = true;
    const Bus* audioIns = nullptr;
    int32 numAudioIns = 0;
    const Bus* audioOuts = nullptr;
    int32 numAudioOuts = 0;
    int32 eventIns = 0;
    int32 eventOuts = 0;
    const Param* params = nullptr;  // null: numParams automatable parameters with ids 100, 101, ...
    int32 numParams = 0;
    const Unit* units = nullptr;  // no IUnitInfo without units
    int32 numUnits = 0;
    const ProgramList* lists = nullptr;
    int32 numLists = 0;
    bool sample64 = false;
    bool ara = false;
    CompatibilityList* forward = nullptr;
    CompatibilityList* backward = nullptr;
    bool persistCompat = false;  // answers the persist interface (with or without lists)
    tresult createResult = kResultOk;
    tresult initializeResult = kResultOk;
    Component* (*makeComponent)(const ClassTraits&) = nullptr;
    Controller* (*makeController)(const ClassTraits&) = nullptr;
};

struct ModuleTraits {
    const char* vendor = "Tarnwell Test Labs";
    int32 flags = PFactoryInfo::kUnicode;
    const ClassTraits* classes = nullptr;
    int32 numClasses = 0;
};

// The edit-controller half, shared by separate controllers and by components
// that are their own controller.
class EditorPart : public Vst::IEditController, public Vst::IUnitInfo {
public:
    explicit EditorPart(const ClassTraits& traits) : traits_(traits) {}
    virtual ~EditorPart() = default;

    tresult PLUGIN_API setComponentState(IBStream*) override { return kResultOk; }
    int32 PLUGIN_API getParameterCount() override { return traits_.numParams; }
    tresult PLUGIN_API getParameterInfo(int32 index, Vst::ParameterInfo& info) override {
        if (index < 0 || index >= traits_.numParams) return kInvalidArgument;
        memset(&info, 0, sizeof info);
        info.id = traits_.params ? traits_.params[index].id : 100 + static_cast<Vst::ParamID>(index);
        info.flags = traits_.params ? traits_.params[index].flags : Vst::ParameterInfo::kCanAutomate;
        return kResultOk;
    }
    tresult PLUGIN_API getParamStringByValue(Vst::ParamID, Vst::ParamValue, Vst::String128) override {
        return kNotImplemented;
    }
    tresult PLUGIN_API getParamValueByString(Vst::ParamID, Vst::TChar*, Vst::ParamValue&) override {
        return kNotImplemented;
    }
    Vst::ParamValue PLUGIN_API normalizedParamToPlain(Vst::ParamID, Vst::ParamValue v) override { return v; }
    Vst::ParamValue PLUGIN_API plainParamToNormalized(Vst::ParamID, Vst::ParamValue v) override { return v; }
    Vst::ParamValue PLUGIN_API getParamNormalized(Vst::ParamID) override { return 0; }
    tresult PLUGIN_API setParamNormalized(Vst::ParamID, Vst::ParamValue) override { return kResultOk; }
    tresult PLUGIN_API setComponentHandler(Vst::IComponentHandler*) override { return kResultOk; }
    IPlugView* PLUGIN_API createView(FIDString) override { return nullptr; }

    int32 PLUGIN_API getUnitCount() override { return traits_.numUnits; }
    tresult PLUGIN_API getUnitInfo(int32 index, Vst::UnitInfo& info) override {
        if (index < 0 || index >= traits_.numUnits) return kInvalidArgument;
        info.id = traits_.units[index].id;
        info.parentUnitId = index == 0 ? Vst::kNoParentUnitId : Vst::kRootUnitId;
        info.programListId = traits_.units[index].programListId;
        return kResultOk;
    }
    int32 PLUGIN_API getProgramListCount() override { return traits_.numLists; }
    tresult PLUGIN_API getProgramListInfo(int32 index, Vst::ProgramListInfo& info) override {
        if (index < 0 || index >= traits_.numLists) return kInvalidArgument;
        info.id = traits_.lists[index].id;
        info.programCount = traits_.lists[index].programs;
        return kResultOk;
    }
    tresult PLUGIN_API getProgramName(Vst::ProgramListID, int32, Vst::String128) override { return kResultFalse; }
    tresult PLUGIN_API getProgramInfo(Vst::ProgramListID, int32, CString, Vst::String128) override {
        return kResultFalse;
    }
    tresult PLUGIN_API hasProgramPitchNames(Vst::ProgramListID, int32) override { return kResultFalse; }
    tresult PLUGIN_API getProgramPitchName(Vst::ProgramListID, int32, int16, Vst::String128) override {
        return kResultFalse;
    }
    Vst::UnitID PLUGIN_API getSelectedUnit() override { return Vst::kRootUnitId; }
    tresult PLUGIN_API selectUnit(Vst::UnitID) override { return kResultOk; }
    tresult PLUGIN_API getUnitByBus(Vst::MediaType, Vst::BusDirection, int32, int32, Vst::UnitID&) override {
        return kResultFalse;
    }
    tresult PLUGIN_API setUnitProgramData(int32, int32, IBStream*) override { return kResultFalse; }

protected:
    const ClassTraits& traits_;
};

// Reference counting and the trace of the final release, for both halves.
class Counted {
public:
    explicit Counted(const char* what, const ClassTraits& traits) : what_(what), name_(traits.name) {}
    virtual ~Counted() = default;

protected:
    uint32 AddRef() { return static_cast<uint32>(++refs_); }
    uint32 Release() {
        int32 left = --refs_;
        if (left == 0) {
            Trace("destroy %s %s", what_, name_);
            delete this;
        }
        return static_cast<uint32>(left < 0 ? 0 : left);
    }
    const char* what_;
    const char* name_;
    std::atomic<int32> refs_{1};
};

class Controller : public EditorPart, public Vst::IConnectionPoint, public Counted {
public:
    explicit Controller(const ClassTraits& traits) : EditorPart(traits), Counted("controller", traits) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (SameId(iid, FUnknown::iid) || SameId(iid, Vst::IEditController::iid) || SameId(iid, IPluginBase::iid))
            *obj = static_cast<Vst::IEditController*>(this);
        else if (SameId(iid, Vst::IConnectionPoint::iid) && traits_.connectionPoints)
            *obj = static_cast<Vst::IConnectionPoint*>(this);
        else if (SameId(iid, Vst::IUnitInfo::iid) && traits_.numUnits > 0)
            *obj = static_cast<Vst::IUnitInfo*>(this);
        if (!*obj) return kNoInterface;
        AddRef();
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return AddRef(); }
    uint32 PLUGIN_API release() override { return Release(); }

    tresult PLUGIN_API initialize(FUnknown*) override {
        Trace("initialize controller %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API terminate() override {
        Trace("terminate controller %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }

    tresult PLUGIN_API connect(Vst::IConnectionPoint*) override {
        Trace("connect controller %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API disconnect(Vst::IConnectionPoint*) override {
        Trace("disconnect controller %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API notify(Vst::IMessage*) override { return kResultOk; }
};

class Component : public Vst::IComponent,
                  public Vst::IAudioProcessor,
                  public Vst::IConnectionPoint,
                  public EditorPart,
                  public ARA::IPlugInEntryPoint,
                  public Tarnwell::IVstPersistCompatibility,
                  public Counted {
public:
    explicit Component(const ClassTraits& traits) : EditorPart(traits), Counted("component", traits) {}

    bool SingleComponent() const { return !traits_.controllerCid.isValid(); }

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (SameId(iid, FUnknown::iid) || SameId(iid, Vst::IComponent::iid) || SameId(iid, IPluginBase::iid))
            *obj = static_cast<Vst::IComponent*>(this);
        else if (SameId(iid, Vst::IAudioProcessor::iid))
            *obj = static_cast<Vst::IAudioProcessor*>(this);
        else if (SameId(iid, Vst::IConnectionPoint::iid) && traits_.connectionPoints)
            *obj = static_cast<Vst::IConnectionPoint*>(this);
        else if (SameId(iid, Vst::IEditController::iid) && SingleComponent())
            *obj = static_cast<Vst::IEditController*>(this);
        else if (SameId(iid, Vst::IUnitInfo::iid) && SingleComponent() && traits_.numUnits > 0)
            *obj = static_cast<Vst::IUnitInfo*>(this);
        else if (SameId(iid, ARA::IPlugInEntryPoint::iid) && traits_.ara)
            *obj = static_cast<ARA::IPlugInEntryPoint*>(this);
        else if (SameId(iid, Tarnwell::IVstPersistCompatibility::iid) && traits_.persistCompat)
            *obj = static_cast<Tarnwell::IVstPersistCompatibility*>(this);
        if (!*obj) return kNoInterface;
        AddRef();
        return kResultOk;
    }
    uint32 PLUGIN_API addRef() override { return AddRef(); }
    uint32 PLUGIN_API release() override { return Release(); }

    tresult PLUGIN_API initialize(FUnknown*) override {
        Trace("initialize component %s", traits_.name);
        return traits_.initializeResult;
    }
    tresult PLUGIN_API terminate() override {
        Trace("terminate component %s", traits_.name);
        return kResultOk;
    }

    tresult PLUGIN_API getControllerClassId(TUID classId) override {
        traits_.controllerCid.toTUID(classId);
        return kResultOk;
    }
    tresult PLUGIN_API setIoMode(Vst::IoMode mode) override {
        Trace("setIoMode %d %s", mode, traits_.name);
        return kResultOk;
    }
    int32 PLUGIN_API getBusCount(Vst::MediaType type, Vst::BusDirection dir) override {
        if (type == Vst::kEvent) return dir == Vst::kInput ? traits_.eventIns : traits_.eventOuts;
        return dir == Vst::kInput ? traits_.numAudioIns : traits_.numAudioOuts;
    }
    tresult PLUGIN_API getBusInfo(Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus) override {
        memset(&bus, 0, sizeof bus);
        bus.mediaType = type;
        bus.direction = dir;
        if (type == Vst::kEvent) {
            bus.channelCount = 16;
            return kResultOk;
        }
        const Bus* buses = dir == Vst::kInput ? traits_.audioIns : traits_.audioOuts;
        int32 count = dir == Vst::kInput ? traits_.numAudioIns : traits_.numAudioOuts;
        if (index < 0 || index >= count) return kInvalidArgument;
        bus.channelCount = buses[index].channels;
        bus.busType = buses[index].busType;
        return kResultOk;
    }
    tresult PLUGIN_API getRoutingInfo(Vst::RoutingInfo&, Vst::RoutingInfo&) override { return kNotImplemented; }
    tresult PLUGIN_API activateBus(Vst::MediaType, Vst::BusDirection, int32, TBool) override { return kResultOk; }
    tresult PLUGIN_API setActive(TBool) override { return kResultOk; }
    tresult PLUGIN_API setState(IBStream*) override { return kResultOk; }
    tresult PLUGIN_API getState(IBStream*) override { return kResultOk; }

    tresult PLUGIN_API setBusArrangements(Vst::SpeakerArrangement*, int32, Vst::SpeakerArrangement*, int32) override {
        return kResultFalse;
    }
    tresult PLUGIN_API getBusArrangement(Vst::BusDirection, int32, Vst::SpeakerArrangement&) override {
        return kResultFalse;
    }
    tresult PLUGIN_API canProcessSampleSize(int32 size) override {
        return size == Vst::kSample32 || (size == Vst::kSample64 && traits_.sample64) ? kResultOk : kResultFalse;
    }
    uint32 PLUGIN_API getLatencySamples() override { return 0; }
    tresult PLUGIN_API setupProcessing(Vst::ProcessSetup&) override { return kResultOk; }
    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }
    tresult PLUGIN_API process(Vst::ProcessData&) override { return kResultOk; }
    uint32 PLUGIN_API getTailSamples() override { return 0; }

    tresult PLUGIN_API connect(Vst::IConnectionPoint*) override {
        Trace("connect component %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API disconnect(Vst::IConnectionPoint*) override {
        Trace("disconnect component %s", traits_.name);
        return kResultOk;
    }
    tresult PLUGIN_API notify(Vst::IMessage*) override { return kResultOk; }

    const ARA::ARAFactory* PLUGIN_API getFactory() override { return nullptr; }
    const ARA::ARAPlugInExtensionInstance* PLUGIN_API bindToDocumentController(ARA::ARADocumentControllerRef) override {
        return nullptr;
    }

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
};

class Factory : public IPluginFactory2 {
public:
    explicit Factory(const ModuleTraits& traits) : traits_(traits) {}
    virtual ~Factory() = default;

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (SameId(iid, FUnknown::iid) || SameId(iid, IPluginFactory::iid) || SameId(iid, IPluginFactory2::iid)) {
            *obj = static_cast<IPluginFactory2*>(this);
            return kResultOk;
        }
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }  // lives as long as the module
    uint32 PLUGIN_API release() override {
        Trace("release factory");
        return 1;
    }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        if (!info) return kInvalidArgument;
        memset(info, 0, sizeof *info);
        CopyText(info->vendor, sizeof info->vendor, traits_.vendor);
        info->flags = traits_.flags;
        return kResultOk;
    }
    int32 PLUGIN_API countClasses() override { return traits_.numClasses; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        Trace("getClassInfo %d", index);
        if (!info || index < 0 || index >= traits_.numClasses) return kInvalidArgument;
        const ClassTraits& c = traits_.classes[index];
        memset(info, 0, sizeof *info);
        c.cid.toTUID(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        CopyText(info->category, sizeof info->category, c.category);
        CopyText(info->name, sizeof info->name, c.name);
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (!info || index < 0 || index >= traits_.numClasses) return kInvalidArgument;
        const ClassTraits& c = traits_.classes[index];
        memset(info, 0, sizeof *info);
        c.cid.toTUID(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        CopyText(info->category, sizeof info->category, c.category);
        CopyText(info->name, sizeof info->name, c.name);
        CopyText(info->subCategories, sizeof info->subCategories, c.subCategories);
        CopyText(info->vendor, sizeof info->vendor, "Class Vendor");
        CopyText(info->version, sizeof info->version, "1.0.0");
        CopyText(info->sdkVersion, sizeof info->sdkVersion, "VST 3.7");
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        for (int32 i = 0; i < traits_.numClasses; ++i) {
            const ClassTraits& c = traits_.classes[i];
            if (SameId(cid, c.cid)) {
                Trace("createInstance component %s", c.name);
                if (c.createResult != kResultOk) return c.createResult;
                Component* made = c.makeComponent ? c.makeComponent(c) : new Component(c);
                tresult r = made->queryInterface(iid, obj);
                made->release();
                return r;
            }
            if (c.controllerCid.isValid() && SameId(cid, c.controllerCid)) {
                Trace("createInstance controller %s", c.name);
                Controller* made = c.makeController ? c.makeController(c) : new Controller(c);
                tresult r = made->queryInterface(iid, obj);
                made->release();
                return r;
            }
        }
        return kResultFalse;
    }

protected:
    const ModuleTraits& traits_;
};

}  // namespace kit

// The module's factory: one static object for the module's lifetime.
#define KIT_FACTORY(FactoryType, traits)                                   \
    VST3_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() { \
        static FactoryType factory(traits);                                \
        return &factory;                                                   \
    }
