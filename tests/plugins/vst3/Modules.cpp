// The VST 3 test modules: every module built from this source serves the
// rows of kClasses that name it (MODULE); the WITH_* definitions give it the
// exports its binary must have (see CMakeLists.txt).
#include <objbase.h>

#include "Vst3Kit.h"

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;
using kit::Cid;
using kit::Is;

const kit::Bus kMono[] = {{1, kMain}};
const kit::Bus kStereo[] = {{2, kMain}};
// Main and aux (side-chain) stereo inputs; a main stereo output and an aux
// surround output that is not a main bus.
const kit::Bus kSideIns[] = {{2, kMain}, {2, kAux}};
const kit::Bus kSideOuts[] = {{2, kMain}, {6, kAux}};

// A sub-unit listed first, then the root unit, whose program list (id 7, 12
// programs) is the second of two lists.
const kit::Unit kUnits[] = {{5, 3}, {kRootUnitId, 7}};
const kit::ProgramList kLists[] = {{3, 5}, {7, 12}};

// The classes it can stand in for (forward) and that can stand in for it
// (backward). The forward entries cover every way an entry can be
// incomplete; read-only, program-change and non-automatable parameters must
// never be offered for mapping.
const kit::Param kCompatParams[] = {
    {1, ParameterInfo::kCanAutomate},
    {2, ParameterInfo::kCanAutomate | ParameterInfo::kIsReadOnly},
    {3, ParameterInfo::kCanAutomate | ParameterInfo::kIsProgramChange},
    {4, ParameterInfo::kNoFlags},
    {5, ParameterInfo::kCanAutomate},
};
const kit::Mapping kFullMaps[] = {{1, 11}, {5, 55}, {2, 22}, {3, 33}};
const kit::Mapping kSilentMap[] = {{5, 99, kResultOk, false}};
const kit::Mapping kRefusedMap[] = {{1, 77, kResultFalse}, {5, 56}};
#define LONG_UID u"LONG-UID-0123456789-0123456789-0123456789-0123456789-0123456789-0123456789"
#define LONG_NAME                                                                                          \
    u"A very long plug-in name that goes on and on well past the one hundred and twenty seven characters " \
    u"that the entry keeps, so the end of it must be cut away"
const kit::CompatEntry kForward[] = {
    {3, u"FWD-FULL", u"Old Delay", 2, kFullMaps, 4},
    {1, u"FWD-TYPE1", u"Type One", 2},
    {2, nullptr, u"No UID", 2},
    {2, u"FWD-NONAME", nullptr, 4, kSilentMap, 1},
    {3, u"FWD-NOPOLICY", u"No Policy", -1, kRefusedMap, 2},
    {-1, u"FWD-NOTYPE", u"No Type", 2},
    {3, LONG_UID, LONG_NAME, 6},
};
const kit::CompatEntry kBackward[] = {{2, u"BACK-ONE", u"Newer Delay", 0}};
kit::CompatibilityList g_forward("forward", kForward, 7);
kit::CompatibilityList g_backward("backward", kBackward, 1);

const char* const kController = kVstComponentControllerClass;

kit::ClassTraits CompatibleDelay() {
    kit::ClassTraits c{"persist_compat_lists", 0x5E9A0C01, 0x5E9A0CC1, "Compatible Delay", "Fx", 5};
    c.params = kCompatParams;
    c.forward = &g_forward;
    c.backward = &g_backward;
    return c;
}

// In the order of ClassTraits' fields.
const kit::ClassTraits kClasses[] = {
    // Like modules built on frameworks that use COM, it has a factory only
    // for a thread where COM is already set up. A version resource, too.
    {"separate_controller", 0x5E9A0001, 0x5E9A00C1, "Separate Controller Delay", "Fx|Delay", 57, kStereo, 1, kStereo,
     1},
    // Its own edit controller: its connection points must not be connected to itself.
    {"single_component", 0x5E9A0002, 0, "Single Component Gain", "Fx|Tools", 3, kMono, 1, kMono, 1},
    // Only the second class is an audio module: the others must be passed over.
    {"three_classes_one_audio", 0x5E9A0300, 0, "A Controller", "Fx", 0, nullptr, 0, nullptr, 0, 0, 0, kController},
    {"three_classes_one_audio", 0x5E9A0301, 0x5E9A03C1, "Middle Audio Class", "Fx", 4, nullptr, 0, kStereo, 1},
    {"three_classes_one_audio", 0x5E9A0302, 0, "A Service", "Fx", 0, nullptr, 0, nullptr, 0, 0, 0, "Service Class"},
    // An instrument with an event input first, then two effects without one.
    {"shell_three_audio", 0x5E9A0400, 0x5E9A04C0, "Shell Synth", "Instrument|Synth", 8, nullptr, 0, kStereo, 1, 1},
    {"shell_three_audio", 0x5E9A0401, 0x5E9A04C1, "Shell Chorus", "Fx|Modulation", 25, nullptr, 0, kStereo, 1},
    {"shell_three_audio", 0x5E9A0402, 0x5E9A04C2, "Shell Reverb", "Fx|Reverb", 0, nullptr, 0, kStereo, 1},
    // "Audio Module Class" with something after it is another category.
    {"no_audio_classes", 0x5E9A0500, 0, "Only A Controller", "Fx", 0, nullptr, 0, nullptr, 0, 0, 0, kController},
    {"no_audio_classes", 0x5E9A0501, 0, "Almost Audio", "Fx", 0, nullptr, 0, nullptr, 0, 0, 0, "Audio Module Class 2"},
    {"discardable_classes", 0x5E9A0600, 0x5E9A06C0, "Discardable One"},
    {"discardable_classes", 0x5E9A0601, 0x5E9A06C1, "Discardable Two"},
    {"instrument_with_events", 0x5E9A0701, 0x5E9A07C1, "Event Synth", "Instrument|Synth", 12, nullptr, 0, kStereo, 1, 1,
     1},
    {"sidechain_buses", 0x5E9A0801, 0x5E9A08C1, "Sidechain Compressor", "Fx|Dynamics", 6, kSideIns, 2, kSideOuts, 2},
    {"root_unit_programs", 0x5E9A0901, 0x5E9A09C1, "Program Bank", "Fx", 2, nullptr, 0, nullptr, 0, 0, 0,
     kVstAudioEffectClass, nullptr, kUnits, 2, kLists, 2},
    {"double_precision", 0x5E9A0A01, 0x5E9A0AC1, "Double Precision EQ"},
    {"ara_entry_point", 0x5E9A0B01, 0x5E9A0BC1, "ARA Pitch Editor"},
    CompatibleDelay(),
    {"init_dll_false", 0x5E9A0D01, 0, "Never Initialised"},
    {"create_instance_fails", 0x5E9A0E00, 0x5E9A0EC0, "Cannot Create"},
    {"create_instance_fails", 0x5E9A0E01, 0x5E9A0EC1, "Can Create"},
    {"initialize_fails", 0x5E9A0F01, 0x5E9A0FC1, "Broken Initialize"},
    {"crash_in_get_bus_info", 0x5E9A1001, 0x5E9A10C1, "Crashing Buses", "Fx", 0, kStereo, 1},
    {"host_over_release", 0x5E9A1101, 0x5E9A11C1, "Over Releaser"},
    {"null_component", 0x5E9A1201, 0, "Null Component"},
    {"garbage_info", 0x5E9A1301, 0x5E9A13C1, "Garbage"},
    {"zero_controller_id", 0x5E9A1501, 0, "Zero Controller"},
    {"null_audio_processor", 0x5E9A1601, 0x5E9A16C1, "Null Processor"},
    // The middle one is registered with UTF-16 texts only (see WideInfo); the
    // third one's name is UTF-8 in the plain class information.
    {"unicode_classes", 0x5E9A1600, 0, "Plain Before", "Fx", 2, nullptr, 0, kStereo, 1},
    {"unicode_classes", 0x5E9A1601, 0, "Wide Only", "Fx|Delay", 2, nullptr, 0, kStereo, 1},
    {"unicode_classes", 0x5E9A1602, 0, "Caf\xC3\xA9 R\xC3\xA9verb", "Fx", 2, nullptr, 0, kStereo, 1},
};

// The texts IPluginFactory3 gives unicode_classes' classes.
struct WideInfo {
    const char16* name;
    const char16* vendor;
};
const WideInfo kWide[] = {{u"Plain Before", u""}, {u"Широкий 宽 \U0001F39B", u"Вендор Wide"}, {u"Café Réverb", u""}};

// With a file "<module>.nofactory3" beside unicode_classes, its factory does
// not answer IPluginFactory3.
bool OffersUnicodeFactory() {
    char unused[4];
    return Is("unicode_classes") && !plugin_kit::ReadBesideSelf(".nofactory3", unused, sizeof unused);
}

// The module's factory. garbage_info fills every text field to the brim
// without a terminator; huge_class_count claims 2^31-1 classes and describes
// any index as a non-audio class;
// null_component reports success for a component but hands out nothing.
class Factory : public IPluginFactory3 {
public:
    Factory() {
        for (const kit::ClassTraits& c : kClasses)
            if (Is(c.module)) classes_[count_++] = &c;
    }
    virtual ~Factory() = default;

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (kit::SameId(iid, IPluginFactory3::iid) && !OffersUnicodeFactory()) return kNoInterface;
        if (kit::SameId(iid, FUnknown::iid) || kit::SameId(iid, IPluginFactory::iid) ||
            kit::SameId(iid, IPluginFactory2::iid) || kit::SameId(iid, IPluginFactory3::iid)) {
            *obj = static_cast<IPluginFactory3*>(this);
            return kResultOk;
        }
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }  // lives as long as the module
    uint32 PLUGIN_API release() override {
        if (!Is("huge_class_count") && !Is("unicode_classes")) kit::Trace("release factory");
        return 1;
    }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        if (Is("garbage_info")) {
            memset(info->vendor, 'V', sizeof info->vendor);
            memset(info->url, 'U', sizeof info->url);
            memset(info->email, 'E', sizeof info->email);
            info->flags = PFactoryInfo::kUnicode;
            return kResultOk;
        }
        if (!info) return kInvalidArgument;
        memset(info, 0, sizeof *info);
        kit::CopyText(info->vendor, sizeof info->vendor,
                      Is("shell_three_audio") ? "Shell Maker" : "Tarnwell Test Labs");
        info->flags = PFactoryInfo::kUnicode | (Is("discardable_classes") ? PFactoryInfo::kClassesDiscardable : 0);
        return kResultOk;
    }
    int32 PLUGIN_API countClasses() override { return Is("huge_class_count") ? INT_MAX : count_; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        if (Is("unicode_classes") && index == 1) return kResultFalse;
        if (Is("huge_class_count")) return Endless(index, info, "Endless");
        kit::Trace("getClassInfo %d", index);
        if (!info || index < 0 || index >= count_) return kInvalidArgument;
        Describe(*classes_[index], info);
        if (Is("garbage_info")) memset(info->name, 'N', sizeof info->name);  // no terminator
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (Is("unicode_classes") && index == 1) return kResultFalse;
        if (Is("huge_class_count")) return Endless(index, info, nullptr);
        if (!info || index < 0 || index >= count_) return kInvalidArgument;
        const kit::ClassTraits& c = *classes_[index];
        Describe(c, info);
        kit::CopyText(info->subCategories, sizeof info->subCategories, c.subCategories);
        kit::CopyText(info->vendor, sizeof info->vendor, "Class Vendor");
        kit::CopyText(info->version, sizeof info->version, "1.0.0");
        kit::CopyText(info->sdkVersion, sizeof info->sdkVersion, "VST 3.7");
        if (Is("garbage_info")) {
            memset(info->name, 'N', sizeof info->name);
            memset(info->subCategories, 'S', sizeof info->subCategories);
            memcpy(info->subCategories, "Instrument|", 11);
            memset(info->vendor, 'W', sizeof info->vendor);
        }
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (Is("null_component")) kit::Trace("createInstance null");
        if (obj) *obj = nullptr;
        if (Is("null_component")) return kResultOk;
        if (!obj) return kInvalidArgument;
        for (int32 i = 0; i < count_; ++i) {
            const kit::ClassTraits& c = *classes_[i];
            const bool component = kit::SameId(cid, Cid(c.cid));
            if (!component && !(c.controller && kit::SameId(cid, Cid(c.controller)))) continue;
            kit::Trace("createInstance %s %s", component ? "component" : "controller", c.name);
            if (component && Is("create_instance_fails") && i == 0) return kResultFalse;
            kit::Object* made = new kit::Object(c, component);
            tresult r = made->queryInterface(iid, obj);
            made->release();
            return r;
        }
        return kResultFalse;
    }
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        if (!info || index < 0 || index >= count_) return kInvalidArgument;
        const kit::ClassTraits& c = *classes_[index];
        memset(info, 0, sizeof *info);
        Cid(c.cid).toTUID(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        kit::CopyText(info->category, sizeof info->category, c.category);
        kit::CopyText(info->subCategories, sizeof info->subCategories, c.subCategories);
        kit::CopyText16(info->name, PClassInfo::kNameSize, kWide[index].name);
        kit::CopyText16(info->vendor, PClassInfoW::kVendorSize, kWide[index].vendor);
        kit::CopyText16(info->version, PClassInfoW::kVersionSize, u"2.5.0");
        return kResultOk;
    }
    tresult PLUGIN_API setHostContext(FUnknown*) override { return kResultOk; }

private:
    template <class Info>
    static void Describe(const kit::ClassTraits& c, Info* info) {
        memset(info, 0, sizeof *info);
        Cid(c.cid).toTUID(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        kit::CopyText(info->category, sizeof info->category, c.category);
        kit::CopyText(info->name, sizeof info->name, c.name);
    }
    template <class Info>
    static tresult Endless(int32 index, Info* info, const char* name) {
        memset(info, 0, sizeof *info);
        FUID(0x5E9A1400, static_cast<uint32>(index), 0, 0).toTUID(info->cid);
        kit::CopyText(info->category, sizeof info->category, "Endless Service");
        if (name) kit::CopyText(info->name, sizeof info->name, name);
        return kResultOk;
    }

    const kit::ClassTraits* classes_[8] = {};
    int32 count_ = 0;
};

}  // namespace

#ifdef WITH_INITDLL
VST3_EXPORT bool InitDll() {
    kit::Trace("InitDll");
    return !Is("init_dll_false");  // which must then never be asked for its factory
}
#endif
#ifdef WITH_EXITDLL
VST3_EXPORT bool ExitDll() {
    kit::Trace("ExitDll");
    return true;
}
#endif
#ifdef WITH_FACTORY
VST3_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() {
    if (Is("init_dll_false") || Is("null_factory")) kit::Trace("GetPluginFactory");
    if (Is("null_factory")) return nullptr;
    if (Is("separate_controller")) {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hr)) CoUninitialize();
        if (hr == S_OK) return nullptr;  // it was not set up: this call did it
    }
    static Factory factory;
    return &factory;
}
#endif
#ifdef WITH_NOTAFACTORY
VST3_EXPORT int NotAFactory() {
    return 0;
}
#endif
