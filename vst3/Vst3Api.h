// The VST 3 plug-in interfaces the probe calls and the host interfaces it
// serves, declared with the public SDK's names, identifiers, method order and
// structure layouts. Everything of the SDK the program uses lives in this one
// header, so a build against the SDK itself can swap it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_WIN32)
#define PLUGIN_API __stdcall  // the SDK's COM-compatible convention (one convention on x64 anyway)
#else
#define PLUGIN_API
#endif

namespace Steinberg {

using int8 = char;
using uint8 = unsigned char;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using char8 = char;
using char16 = char16_t;
using TBool = uint8;
using tresult = int32;
using FIDString = const char8*;
using CString = const char8*;

// On Windows the results are the COM HRESULTs.
enum : tresult {
    kNoInterface = static_cast<tresult>(0x80004002L),
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = static_cast<tresult>(0x80070057L),
    kNotImplemented = static_cast<tresult>(0x80004001L),
    kInternalError = static_cast<tresult>(0x80004005L),
    kNotInitialized = static_cast<tresult>(0x8000FFFFL),
    kOutOfMemory = static_cast<tresult>(0x8007000EL),
};

using TUID = int8[16];

// A 16-byte identifier in the byte order of a Windows GUID: the SDK's
// COM-compatible INLINE_UID layout, so IIDs compare equal to COM's.
class FUID {
public:
    constexpr FUID() : data{} {}
    constexpr FUID(uint32 l1, uint32 l2, uint32 l3, uint32 l4)
        : data{static_cast<int8>(l1 & 0xFF),         static_cast<int8>((l1 >> 8) & 0xFF),
               static_cast<int8>((l1 >> 16) & 0xFF), static_cast<int8>((l1 >> 24) & 0xFF),
               static_cast<int8>((l2 >> 16) & 0xFF), static_cast<int8>((l2 >> 24) & 0xFF),
               static_cast<int8>(l2 & 0xFF),         static_cast<int8>((l2 >> 8) & 0xFF),
               static_cast<int8>((l3 >> 24) & 0xFF), static_cast<int8>((l3 >> 16) & 0xFF),
               static_cast<int8>((l3 >> 8) & 0xFF),  static_cast<int8>(l3 & 0xFF),
               static_cast<int8>((l4 >> 24) & 0xFF), static_cast<int8>((l4 >> 16) & 0xFF),
               static_cast<int8>((l4 >> 8) & 0xFF),  static_cast<int8>(l4 & 0xFF)} {}
    explicit FUID(const TUID uid) : data{} { memcpy(data, uid, sizeof(TUID)); }

    bool isValid() const {
        for (int8 b : data)
            if (b) return true;
        return false;
    }
    bool operator==(const FUID& f) const { return memcmp(data, f.data, sizeof(TUID)) == 0; }
    bool operator!=(const FUID& f) const { return !(*this == f); }
    operator FIDString() const { return data; }
    void toTUID(TUID result) const { memcpy(result, data, sizeof(TUID)); }

protected:
    TUID data;
};

// Identifiers compare as 16 raw bytes; a null identifier is the all-zero one.
inline bool iidEqual(const void* a, const void* b) {
    static const TUID zero = {};
    return memcmp(a ? a : zero, b ? b : zero, sizeof(TUID)) == 0;
}

class FUnknown {
public:
    virtual tresult PLUGIN_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 PLUGIN_API addRef() = 0;
    virtual uint32 PLUGIN_API release() = 0;

    static inline const FUID iid{0x00000000, 0x00000000, 0xC0000000, 0x00000046};
};

class IDependent : public FUnknown {
public:
    virtual void PLUGIN_API update(FUnknown* changedUnknown, int32 message) = 0;

    enum ChangeMessage { kWillChange, kChanged, kDestroyed, kWillDestroy, kStdChangeMessageLast = kWillDestroy };

    static inline const FUID iid{0xF52B7AAE, 0xDE72416d, 0x8AF18ACE, 0x9DD7BD5E};
};

class IPluginBase : public FUnknown {
public:
    virtual tresult PLUGIN_API initialize(FUnknown* context) = 0;
    virtual tresult PLUGIN_API terminate() = 0;

    static inline const FUID iid{0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625};
};

struct PFactoryInfo {
    enum FactoryFlags {
        kNoFlags = 0,
        kClassesDiscardable = 1 << 0,
        kLicenseCheck = 1 << 1,
        kComponentNonDiscardable = 1 << 3,
        kUnicode = 1 << 4
    };
    enum { kURLSize = 256, kEmailSize = 128, kNameSize = 64 };

    char8 vendor[kNameSize];
    char8 url[kURLSize];
    char8 email[kEmailSize];
    int32 flags;
};

struct PClassInfo {
    enum ClassCardinality { kManyInstances = 0x7FFFFFFF };
    enum { kCategorySize = 32, kNameSize = 64 };

    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char8 name[kNameSize];
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 PLUGIN_API countClasses() = 0;
    virtual tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) = 0;
    virtual tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;

    static inline const FUID iid{0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F};
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char8 name[PClassInfo::kNameSize];

    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };

    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char8 vendor[kVendorSize];
    char8 version[kVersionSize];
    char8 sdkVersion[kVersionSize];
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) = 0;

    static inline const FUID iid{0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB};
};

// Class information with the texts in UTF-16 (the category and the
// sub-categories stay 8-bit).
struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char16 name[PClassInfo::kNameSize];

    enum { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = PClassInfo2::kSubCategoriesSize };

    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char16 vendor[kVendorSize];
    char16 version[kVersionSize];
    char16 sdkVersion[kVersionSize];
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult PLUGIN_API setHostContext(FUnknown* context) = 0;

    static inline const FUID iid{0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931};
};

class IBStream;
class IPlugView;

namespace Vst {

using TChar = char16;
using String128 = TChar[128];
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using ParamID = uint32;
using ParamValue = double;
using SpeakerArrangement = uint64;

constexpr char8 kVstAudioEffectClass[] = "Audio Module Class";
constexpr char8 kVstComponentControllerClass[] = "Component Controller Class";

enum MediaTypes { kAudio = 0, kEvent, kNumMediaTypes };
enum BusDirections { kInput = 0, kOutput };
enum BusTypes { kMain = 0, kAux };
enum IoModes { kSimple = 0, kAdvanced, kOfflineProcessing };
enum SymbolicSampleSizes { kSample32, kSample64 };

struct BusInfo {
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
    enum BusFlags { kDefaultActive = 1 << 0, kIsControlVoltage = 1 << 1 };
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult PLUGIN_API getControllerClassId(TUID classId) = 0;
    virtual tresult PLUGIN_API setIoMode(IoMode mode) = 0;
    virtual int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
    virtual tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
    virtual tresult PLUGIN_API setActive(TBool state) = 0;
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;

    static inline const FUID iid{0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802};
};

struct ProcessSetup;
struct ProcessData;

class IAudioProcessor : public FUnknown {
public:
    virtual tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                                  int32 numOuts) = 0;
    virtual tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
    virtual tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 PLUGIN_API getLatencySamples() = 0;
    virtual tresult PLUGIN_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult PLUGIN_API setProcessing(TBool state) = 0;
    virtual tresult PLUGIN_API process(ProcessData& data) = 0;
    virtual uint32 PLUGIN_API getTailSamples() = 0;

    static inline const FUID iid{0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D};
};

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
    enum ParameterFlags {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16
    };
};

class IComponentHandler;

class IEditController : public IPluginBase {
public:
    virtual tresult PLUGIN_API setComponentState(IBStream* state) = 0;
    virtual tresult PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult PLUGIN_API getState(IBStream* state) = 0;
    virtual int32 PLUGIN_API getParameterCount() = 0;
    virtual tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue PLUGIN_API getParamNormalized(ParamID id) = 0;
    virtual tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* PLUGIN_API createView(FIDString name) = 0;

    static inline const FUID iid{0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E};
};

class IAttributeList : public FUnknown {
public:
    using AttrID = const char*;

    virtual tresult PLUGIN_API setInt(AttrID id, int64 value) = 0;
    virtual tresult PLUGIN_API getInt(AttrID id, int64& value) = 0;
    virtual tresult PLUGIN_API setFloat(AttrID id, double value) = 0;
    virtual tresult PLUGIN_API getFloat(AttrID id, double& value) = 0;
    virtual tresult PLUGIN_API setString(AttrID id, const TChar* string) = 0;
    // sizeInBytes is the size of the caller's buffer in bytes, not characters.
    virtual tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
    virtual tresult PLUGIN_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
    virtual tresult PLUGIN_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;

    static inline const FUID iid{0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4};
};

class IMessage : public FUnknown {
public:
    virtual FIDString PLUGIN_API getMessageID() = 0;
    virtual void PLUGIN_API setMessageID(FIDString id) = 0;
    virtual IAttributeList* PLUGIN_API getAttributes() = 0;

    static inline const FUID iid{0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613};
};

class IConnectionPoint : public FUnknown {
public:
    virtual tresult PLUGIN_API connect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult PLUGIN_API notify(IMessage* message) = 0;

    static inline const FUID iid{0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1};
};

class IHostApplication : public FUnknown {
public:
    virtual tresult PLUGIN_API getName(String128 name) = 0;
    virtual tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) = 0;

    static inline const FUID iid{0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5};
};

// Asked of a host by plug-ins; this host does not answer it.
class IPlugInterfaceSupport : public FUnknown {
public:
    virtual tresult PLUGIN_API isPlugInterfaceSupported(const TUID iid) = 0;

    static inline const FUID iid{0x4FB58B9E, 0x9EAA4E0F, 0xAB361C1C, 0xCCB56FEA};
};

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

class IUnitInfo : public FUnknown {
public:
    virtual int32 PLUGIN_API getUnitCount() = 0;
    virtual tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 PLUGIN_API getProgramListCount() = 0;
    virtual tresult PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
    virtual tresult PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex, CString attributeId,
                                              String128 attributeValue) = 0;
    virtual tresult PLUGIN_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
    virtual tresult PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                                   String128 name) = 0;
    virtual UnitID PLUGIN_API getSelectedUnit() = 0;
    virtual tresult PLUGIN_API selectUnit(UnitID unitId) = 0;
    virtual tresult PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                            UnitID& unitId) = 0;
    virtual tresult PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;

    static inline const FUID iid{0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1};
};

}  // namespace Vst

// The SDK lays these out with natural alignment; a mismatch here would make
// every plug-in's answer land in the wrong field.
static_assert(sizeof(PFactoryInfo) == 452, "PFactoryInfo layout");
static_assert(sizeof(PClassInfo) == 116, "PClassInfo layout");
static_assert(sizeof(PClassInfo2) == 440, "PClassInfo2 layout");
static_assert(sizeof(Vst::BusInfo) == 276, "BusInfo layout");
static_assert(sizeof(Vst::UnitInfo) == 268, "UnitInfo layout");
static_assert(sizeof(Vst::ProgramListInfo) == 264, "ProgramListInfo layout");
static_assert(offsetof(Vst::ParameterInfo, defaultNormalizedValue) == 776, "ParameterInfo layout");
static_assert(sizeof(Vst::ParameterInfo) == 792, "ParameterInfo layout");

}  // namespace Steinberg

// The ARA SDK's VST 3 entry point, asked of a component to learn whether it
// supports ARA.
namespace ARA {

struct ARAFactory;
using ARADocumentControllerRef = struct ARADocumentControllerRefMarkupType*;
struct ARAPlugInExtensionInstance;

class IPlugInEntryPoint : public Steinberg::FUnknown {
public:
    virtual const ARAFactory* PLUGIN_API getFactory() = 0;
    virtual const ARAPlugInExtensionInstance* PLUGIN_API
    bindToDocumentController(ARADocumentControllerRef documentControllerRef) = 0;

    static inline const Steinberg::FUID iid{0x12814E54, 0xA1CE4076, 0x82B96813, 0x16950BD6};
};

}  // namespace ARA
