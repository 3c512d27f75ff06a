// Three audio classes; the middle one is registered with UTF-16 texts only,
// as the public SDK's factory does it, so the plain class-info calls refuse
// it and only IPluginFactory3 describes it. The third one's name is UTF-8 in
// the plain class information. With a file "<module>.nofactory3" beside the
// module the factory does not answer IPluginFactory3.
#include "Vst3Kit.h"

namespace {
using namespace Steinberg;

const kit::Bus kStereo[] = {{2, Vst::kMain}};

kit::ClassTraits Audio(uint32 n, const char* name) {
    kit::ClassTraits c;
    c.cid = FUID(0x5E9A1600 + n, 0x11112222, 0x33334444, 0x55556666);
    c.name = name;
    c.audioOuts = kStereo;
    c.numAudioOuts = 1;
    c.numParams = 2;
    return c;
}

const kit::ClassTraits kClasses[] = {Audio(0, "Plain Before"), Audio(1, "Wide Only"),
                                     Audio(2, "Caf\xC3\xA9 R\xC3\xA9verb")};
const kit::ModuleTraits kModule{"Tarnwell Test Labs", PFactoryInfo::kUnicode, kClasses, 3};

const char16 kWideName[] = u"Широкий 宽 \U0001F39B";
const char16 kWideVendor[] = u"Вендор Wide";
const char16 kWideVersion[] = u"2.5.0";
const char16 kCafe[] = u"Café Réverb";

bool OffersUnicodeFactory() {
    wchar_t path[MAX_PATH + 16] = {};
    GetModuleFileNameW(kit::ThisModule(), path, MAX_PATH);
    lstrcatW(path, L".nofactory3");
    return GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}

class WideFactory : public IPluginFactory3 {
public:
    explicit WideFactory(const kit::ModuleTraits&) {}
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
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override { return plain_.getFactoryInfo(info); }
    int32 PLUGIN_API countClasses() override { return plain_.countClasses(); }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        if (index == 1) return kResultFalse;
        return plain_.getClassInfo(index, info);
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (index == 1) return kResultFalse;
        return plain_.getClassInfo2(index, info);
    }
    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        return plain_.createInstance(cid, iid, obj);
    }
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        if (!info || index < 0 || index >= kModule.numClasses) return kInvalidArgument;
        const kit::ClassTraits& c = kClasses[index];
        memset(info, 0, sizeof *info);
        c.cid.toTUID(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        kit::CopyText(info->category, sizeof info->category, c.category);
        kit::CopyText(info->subCategories, sizeof info->subCategories, index == 1 ? "Fx|Delay" : c.subCategories);
        const char16* name = index == 1 ? kWideName : index == 2 ? kCafe : u"Plain Before";
        kit::CopyText16(info->name, PClassInfo::kNameSize, name);
        kit::CopyText16(info->vendor, PClassInfoW::kVendorSize, index == 1 ? kWideVendor : u"");
        kit::CopyText16(info->version, PClassInfoW::kVersionSize, kWideVersion);
        return kResultOk;
    }
    tresult PLUGIN_API setHostContext(FUnknown*) override { return kResultOk; }

private:
    kit::Factory plain_{kModule};
};
}  // namespace

KIT_FACTORY(WideFactory, kModule)
