// The plug-in side of the persist-compatibility lists: a VST 3 component can
// name other plug-ins whose saved state it takes over (forward) or that can
// take over its own (backward). Called by the probe, implemented by plug-ins.
#pragma once

#include "vst3/Vst3Api.h"

namespace Tarnwell {

// Attribute names of one list entry.
constexpr char kAttrPluginType[] = "plugin type";
constexpr char kAttrPluginUID[] = "plugin UID";
constexpr char kAttrPluginName[] = "plugin name";
constexpr char kAttrReplacementPolicy[] = "replacement policy";

// Handed out directly by IVstPersistCompatibility, never asked for by
// identifier, and borrowed by the caller (no reference is released).
class IVstCompatibilityList : public Steinberg::FUnknown {
public:
    virtual Steinberg::int32 PLUGIN_API getCount() = 0;
    // Fills `attributes` with the entry's four values.
    virtual Steinberg::tresult PLUGIN_API getEntry(Steinberg::int32 index,
                                                   Steinberg::Vst::IAttributeList* attributes) = 0;
    // The value this plug-in gives the parameter when it stands in for the entry.
    virtual Steinberg::tresult PLUGIN_API getParameterMapping(Steinberg::int32 index,
                                                              Steinberg::Vst::ParamID parameterId,
                                                              Steinberg::int32& value) = 0;
};

class IVstPersistCompatibility : public Steinberg::FUnknown {
public:
    virtual Steinberg::tresult PLUGIN_API getForwardCompatibility(IVstCompatibilityList** list) = 0;
    virtual Steinberg::tresult PLUGIN_API getBackwardCompatibility(IVstCompatibilityList** list) = 0;

    // 44618021-DA94-4D19-9F92-F7AAE53C6418
    static inline const Steinberg::FUID iid{0x44618021, 0xDA944D19, 0x9F92F7AA, 0xE53C6418};
};

}  // namespace Tarnwell
