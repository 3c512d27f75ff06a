// An effect that names the plug-ins it can stand in for (forward) and that can
// stand in for it (backward). The forward entries cover every way an entry can
// be incomplete; the controller has read-only, program-change and
// non-automatable parameters that must never be offered for mapping.
#include "Vst3Kit.h"

namespace {
using Steinberg::kResultFalse;
using Steinberg::kResultOk;
using Steinberg::Vst::ParameterInfo;

const kit::Param kParams[] = {
    {1, ParameterInfo::kCanAutomate},
    {2, ParameterInfo::kCanAutomate | ParameterInfo::kIsReadOnly},
    {3, ParameterInfo::kCanAutomate | ParameterInfo::kIsProgramChange},
    {4, ParameterInfo::kNoFlags},
    {5, ParameterInfo::kCanAutomate},
};

kit::Mapping Map(uint32_t id, int32_t value, Steinberg::tresult result = kResultOk, bool writes = true) {
    kit::Mapping m;
    m.id = id;
    m.value = value;
    m.result = result;
    m.writes = writes;
    return m;
}
const kit::Mapping kFullMaps[] = {Map(1, 11), Map(5, 55), Map(2, 22), Map(3, 33)};
const kit::Mapping kSilentMap[] = {Map(5, 99, kResultOk, false)};
const kit::Mapping kRefusedMap[] = {Map(1, 77, kResultFalse), Map(5, 56)};

kit::CompatEntryTraits Entry(int64_t type, const char16_t* uid, const char16_t* name, int64_t policy,
                             const kit::Mapping* maps = nullptr, int32_t numMaps = 0) {
    kit::CompatEntryTraits e;
    e.type = type;
    e.uid = uid;
    e.name = name;
    e.policy = policy;
    e.mappings = maps;
    e.numMappings = numMaps;
    return e;
}

#define LONG_UID u"LONG-UID-0123456789-0123456789-0123456789-0123456789-0123456789-0123456789"
#define LONG_NAME                                                                                          \
    u"A very long plug-in name that goes on and on well past the one hundred and twenty seven characters " \
    u"that the entry keeps, so the end of it must be cut away"

const kit::CompatEntryTraits kForward[] = {
    Entry(3, u"FWD-FULL", u"Old Delay", 2, kFullMaps, 4),
    Entry(1, u"FWD-TYPE1", u"Type One", 2),
    Entry(2, nullptr, u"No UID", 2),
    Entry(2, u"FWD-NONAME", nullptr, 4, kSilentMap, 1),
    Entry(3, u"FWD-NOPOLICY", u"No Policy", -1, kRefusedMap, 2),
    Entry(-1, u"FWD-NOTYPE", u"No Type", 2),
    Entry(3, LONG_UID, LONG_NAME, 6),
};
const kit::CompatEntryTraits kBackward[] = {Entry(2, u"BACK-ONE", u"Newer Delay", 0)};

kit::CompatibilityList g_forward("forward", kForward, 7);
kit::CompatibilityList g_backward("backward", kBackward, 1);

kit::ClassTraits Class() {
    kit::ClassTraits c;
    c.cid = Steinberg::FUID(0x5E9A0C01, 0x11112222, 0x33334444, 0x55556666);
    c.controllerCid = Steinberg::FUID(0x5E9A0CC1, 0x11112222, 0x33334444, 0x55556666);
    c.name = "Compatible Delay";
    c.params = kParams;
    c.numParams = 5;
    c.persistCompat = true;
    c.forward = &g_forward;
    c.backward = &g_backward;
    return c;
}
const kit::ClassTraits kClasses[] = {Class()};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", Steinberg::PFactoryInfo::kUnicode, kClasses, 1};
}  // namespace

KIT_FACTORY(kit::Factory, kModule)
