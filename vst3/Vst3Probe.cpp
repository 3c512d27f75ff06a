#include "vst3/Vst3Probe.h"

#include <strsafe.h>

#include <algorithm>
#include <cstring>

#include "core/ComApartment.h"
#include "core/FileVersion.h"
#include "core/PluginText.h"
#include "core/ProbeState.h"
#include "core/ScanContext.h"
#include "core/StatusLine.h"
#include "core/Win32Owners.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "diag/PluginLeftovers.h"
#include "diag/ScanLog.h"
#include "inventory/ModuleStats.h"
#include "notify/HostNotify.h"
#include "vst3/CompatList.h"
#include "vst3/ScanHost.h"
#include "vst3/Vst3Api.h"

using namespace Steinberg;

namespace {

constexpr tresult kUnexpected = static_cast<tresult>(0x8000FFFFL);  // E_UNEXPECTED
constexpr UINT kScanningStringId = 16025;                           // "Scanning %s..."

// Bounds on what a plug-in's counts can make the walk do: far beyond any real
// module, small enough that a garbage count ends in moments.
constexpr int32 kMaxClasses = 4096;
constexpr int32 kMaxBuses = 1024;
constexpr int32 kMaxUnits = 4096;
constexpr int32 kMaxProgramLists = 4096;

using InitDllProc = bool (*)();
using ExitDllProc = bool (*)();
using GetFactoryProc = IPluginFactory*(PLUGIN_API*)();

// GetProcAddress answers a generic function pointer; the export's real type
// is known only by its name.
template <class F>
F ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A step that fails leaves the walk with the plug-in's result (or ours).
struct ProbeFailure {
    tresult code;
};
[[noreturn]] void Fail(tresult code) {
    throw ProbeFailure{code};
}

// "Above 1" read as unsigned: failure results are negative as signed numbers
// and must count as failures, kResultOk and kResultFalse do not.
bool Failed(tresult r) {
    return static_cast<uint32>(r) > 1;
}

// Text from a fixed-size field of the plug-in's: read no further than the
// field (it may lack a terminator), decoded as UTF-8 or ANSI and cut to our
// field, whose last character is always the terminator.
template <size_t N, size_t M>
void CopyPluginText(wchar_t (&field)[N], const char8 (&text)[M]) {
    DecodePluginText(text, strnlen(text, M), field, N);
}

// The same from a UTF-16 field.
template <size_t N, size_t M>
void CopyPluginText(wchar_t (&field)[N], const char16 (&text)[M]) {
    size_t length = 0;
    while (length < M && text[length]) ++length;
    size_t take = length < N - 1 ? length : N - 1;
    for (size_t i = 0; i < take; ++i) field[i] = static_cast<wchar_t>(text[i]);
    field[take] = 0;
}

GUID ToGuid(const TUID id) {
    GUID guid;
    memcpy(&guid, id, sizeof guid);  // the COM-compatible byte order is a GUID's
    return guid;
}

bool IsZero(const TUID id) {
    static const TUID zero = {};
    return memcmp(id, zero, sizeof(TUID)) == 0;
}

// Holds a reference the probe may give back even when the walk fails.
template <class T>
class HeldRef {
public:
    HeldRef() = default;
    ~HeldRef() { Reset(); }
    HeldRef(const HeldRef&) = delete;
    HeldRef& operator=(const HeldRef&) = delete;

    bool Query(FUnknown* from, const TUID iid) {
        Reset();
        void* obj = nullptr;
        if (from && from->queryInterface(iid, &obj) == kResultOk) p_ = static_cast<T*>(obj);
        return p_ != nullptr;
    }
    void Reset() {
        if (p_) p_->release();
        p_ = nullptr;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Everything one call keeps. The plug-in objects are plain pointers on
// purpose: after a failure none of them may be touched again.
struct Probe {
    InventoryRecord& module;
    InventoryRecord working;
    std::vector<InventoryRecord>* shellRecords;
    HWND progress;
    FUnknown* hostContext;
    HMODULE dll = nullptr;
    ExitDllProc exitProc = nullptr;
    IPluginFactory* factory = nullptr;
    IPluginFactory2* factory2 = nullptr;
    IPluginFactory3* factory3 = nullptr;
    PFactoryInfo factoryInfo{};
    int32 count = 0;
    bool shellMode = false;
    bool proceed = true;
    int processed = 0;

    InventoryRecord& ClassRecord() { return shellMode ? working : module; }
};

struct ClassProbe {
    PClassInfo info{};
    PClassInfo2 info2{};
    PClassInfoW infoW{};
    bool wide = false;  // infoW holds the class's texts
    Vst::IComponent* component = nullptr;
    Vst::IAudioProcessor* processor = nullptr;
    Vst::IEditController* controller = nullptr;
    TUID controllerCid = {};
    bool singleComponent = false;
};

// Either the component is its own controller, or its controller class is
// created, initialised and connected to it both ways.
void ObtainController(Probe& p, ClassProbe& c) {
    void* obj = nullptr;
    if (c.component->queryInterface(Vst::IEditController::iid, &obj) == kResultOk) {
        if (!obj) Fail(kUnexpected);
        c.controller = static_cast<Vst::IEditController*>(obj);
        memcpy(c.controllerCid, c.info.cid, sizeof(TUID));
        c.singleComponent = true;
        return;
    }
    SetStep(L"component->getControllerClassId");
    tresult r = c.component->getControllerClassId(c.controllerCid);
    if (Failed(r)) Fail(r);
    if (IsZero(c.controllerCid)) Fail(kUnexpected);
    SetStep(L"createInstance IEditController");
    obj = nullptr;
    r = p.factory->createInstance(c.controllerCid, Vst::IEditController::iid, &obj);
    if (Failed(r)) Fail(r);
    if (!obj) Fail(kUnexpected);
    c.controller = static_cast<Vst::IEditController*>(obj);
    SetStep(L"controller->initialize");
    r = c.controller->initialize(p.hostContext);
    if (Failed(r)) Fail(r);
    HeldRef<Vst::IConnectionPoint> componentPoint, controllerPoint;
    componentPoint.Query(c.component, Vst::IConnectionPoint::iid);
    controllerPoint.Query(c.controller, Vst::IConnectionPoint::iid);
    if (componentPoint && controllerPoint) {
        componentPoint->connect(controllerPoint.Get());
        controllerPoint->connect(componentPoint.Get());
    }
}

void ShowProgress(Probe& p, const wchar_t* name) {
    if (p.progress) {
        SetProgressTextNow(p.progress, name);
        UpdateWindow(p.progress);
    }
    if (g_ctx.background && g_ctx.hostWindow) {
        const wchar_t* slash = wcsrchr(name, L'\\');
        NotifyHostById(kNotifyProgress, kScanningStringId, slash ? slash + 1 : name);
    }
}

// Returns the number of event output buses.
int32 CountBuses(ClassProbe& c, InventoryRecord& rec) {
    SetStep(L"getBusCount");
    int32 eventInputs = c.component->getBusCount(Vst::kEvent, Vst::kInput);
    int32 eventOutputs = c.component->getBusCount(Vst::kEvent, Vst::kOutput);
    uint64 inputs = 0;
    int32 buses = std::min(c.component->getBusCount(Vst::kAudio, Vst::kInput), kMaxBuses);
    for (int32 i = 0; i < buses; ++i) {
        Vst::BusInfo bus{};
        tresult r = c.component->getBusInfo(Vst::kAudio, Vst::kInput, i, bus);
        if (Failed(r)) Fail(r);
        if (bus.mediaType == Vst::kAudio && bus.direction == Vst::kInput &&
            (bus.busType == Vst::kMain || bus.busType == Vst::kAux))
            inputs += static_cast<uint64>(std::max(bus.channelCount, 0));
    }
    uint64 outputs = 0;
    buses = std::min(c.component->getBusCount(Vst::kAudio, Vst::kOutput), kMaxBuses);
    for (int32 i = 0; i < buses; ++i) {
        Vst::BusInfo bus{};
        tresult r = c.component->getBusInfo(Vst::kAudio, Vst::kOutput, i, bus);
        if (Failed(r)) Fail(r);
        if (bus.mediaType == Vst::kAudio && bus.direction == Vst::kOutput && bus.busType == Vst::kMain)
            outputs += static_cast<uint64>(std::max(bus.channelCount, 0));
    }
    if (eventInputs > 0) g_eventsFlag = 1;
    rec.numInputs = rec.maxUsedInputs = static_cast<uint32_t>(std::min<uint64>(inputs, UINT32_MAX));
    rec.numOutputs = static_cast<uint32_t>(std::min<uint64>(outputs, UINT32_MAX));
    return eventOutputs;
}

// The program count of the root unit's program list, 0 without one.
uint32_t CountPrograms(Vst::IEditController* controller) {
    void* obj = nullptr;
    if (controller->queryInterface(Vst::IUnitInfo::iid, &obj) != kResultOk || !obj) return 0;
    Vst::IUnitInfo* units = static_cast<Vst::IUnitInfo*>(obj);
    uint32_t programs = 0;
    int32 lists = units->getProgramListCount();
    if (lists > 0) {
        Vst::ProgramListID listId = Vst::kNoProgramListId;
        for (int32 i = 0; i < kMaxUnits && i < units->getUnitCount(); ++i) {
            Vst::UnitInfo unit{};
            if (units->getUnitInfo(i, unit) == kResultOk && unit.id == Vst::kRootUnitId) {
                listId = unit.programListId;
                break;
            }
        }
        if (listId != Vst::kNoProgramListId) {
            for (int32 i = 0; i < std::min(lists, kMaxProgramLists); ++i) {
                Vst::ProgramListInfo list{};
                if (units->getProgramListInfo(i, list) == kResultOk && list.id == listId) {
                    programs = static_cast<uint32_t>(std::max(list.programCount, 0));
                    break;
                }
            }
        }
    }
    units->release();
    return programs;
}

void ReadPersistCompatibility(ClassProbe& c, InventoryRecord& rec) {
    SetStep(L"VST Persist Compatibility ");
    void* obj = nullptr;
    if (c.component->queryInterface(Tarnwell::IVstPersistCompatibility::iid, &obj) != kResultOk || !obj) return;
    auto* persist = static_cast<Tarnwell::IVstPersistCompatibility*>(obj);
    Tarnwell::IVstCompatibilityList* list = nullptr;
    if (persist->getForwardCompatibility(&list) == kResultOk && list)
        ReadCompatibilityList(list, c.controller, rec.forwardCompatible);
    list = nullptr;
    if (persist->getBackwardCompatibility(&list) == kResultOk && list)
        ReadCompatibilityList(list, c.controller, rec.backwardsCompatible);
    persist->release();
}

// Disconnects, terminates and releases in the fixed order: controller side
// first, then the processor, then the component.
void TearDown(ClassProbe& c) {
    if (c.controller && !c.singleComponent) {
        HeldRef<Vst::IConnectionPoint> componentPoint, controllerPoint;
        componentPoint.Query(c.component, Vst::IConnectionPoint::iid);
        controllerPoint.Query(c.controller, Vst::IConnectionPoint::iid);
        if (componentPoint && controllerPoint) {
            componentPoint->disconnect(controllerPoint.Get());
            controllerPoint->disconnect(componentPoint.Get());
        }
        SetStep(L"terminate");
        c.controller->terminate();
    }
    SetStep(L"release");
    if (c.controller) c.controller->release();
    SetStep(L"release");
    c.processor->release();
    SetStep(L"terminate");
    c.component->terminate();
    SetStep(L"release");
    c.component->release();
}

// The class's information, in UTF-16 where the factory offers it: a class
// registered with UTF-16 texts only is refused by the plain call. A class
// whose information cannot be had is passed over; the module's other classes
// still count.
bool ReadClassInfo(Probe& p, int32 index, ClassProbe& c) {
    if (p.factory3) {
        SetStep(L"getClassInfoUnicode");
        if (p.factory3->getClassInfoUnicode(index, &c.infoW) == kResultOk) {
            memcpy(c.info.cid, c.infoW.cid, sizeof(TUID));
            c.info.cardinality = c.infoW.cardinality;
            memcpy(c.info.category, c.infoW.category, sizeof c.info.category);
            c.wide = true;
            return true;
        }
    }
    SetStep(L"getClassInfo");
    tresult r = p.factory->getClassInfo(index, &c.info);
    if (r == kResultOk) return true;
    WriteLog(L"%s: Class %d skipped, the factory gives no information on it (%0x)\r\n", kTag, static_cast<int>(index),
             static_cast<unsigned>(r));
    return false;
}

void SetClassName(InventoryRecord& rec, const ClassProbe& c) {
    if (c.wide)
        CopyPluginText(rec.FullName, c.infoW.name);
    else
        CopyPluginText(rec.FullName, c.info.name);
}

void ProbeClass(Probe& p, int32 index) {
    ClassProbe c;
    if (p.shellMode) p.working = p.module;
    InventoryRecord& rec = p.ClassRecord();

    if (!ReadClassInfo(p, index, c)) return;
    rec.isSynth = 0;
    if (c.wide) {
        char8 sub[PClassInfoW::kSubCategoriesSize + 1] = {};
        memcpy(sub, c.infoW.subCategories, PClassInfoW::kSubCategoriesSize);
        rec.isSynth = strstr(sub, "Instrument") ? 1 : 0;
        SetStep(L"getSubcategoriesString");
        CopyPluginText(rec.Subcategories, c.infoW.subCategories);
    } else if (p.factory2) {
        SetStep(L"getClassInfo2");
        if (p.factory2->getClassInfo2(index, &c.info2) != kResultOk) Fail(kUnexpected);
        char8 sub[PClassInfo2::kSubCategoriesSize + 1] = {};
        memcpy(sub, c.info2.subCategories, PClassInfo2::kSubCategoriesSize);
        rec.isSynth = strstr(sub, "Instrument") ? 1 : 0;
        SetStep(L"getSubcategoriesString");
        CopyPluginText(rec.Subcategories, c.info2.subCategories);
    }
    if (strncmp(c.info.category, Vst::kVstAudioEffectClass, PClassInfo::kCategorySize) != 0) return;

    SetStep(L"createInstance IComponent");
    void* obj = nullptr;
    if (p.factory->createInstance(c.info.cid, Vst::IComponent::iid, &obj) != kResultOk) return;
    if (!obj) Fail(kUnexpected);
    c.component = static_cast<Vst::IComponent*>(obj);

    SetStep(L"queryInterface IAudioProcessor");
    obj = nullptr;
    tresult r = c.component->queryInterface(Vst::IAudioProcessor::iid, &obj);
    if (r != kResultOk && r != kResultFalse) Fail(r);
    if (!obj) Fail(kUnexpected);
    c.processor = static_cast<Vst::IAudioProcessor*>(obj);

    if (rec.isSynth == 1) c.component->setIoMode(Vst::kAdvanced);
    SetStep(L"component->initialize");
    r = c.component->initialize(p.hostContext);
    if (Failed(r)) Fail(r);

    ObtainController(p, c);

    g_currentPluginId = index;
    SetClassName(rec, c);
    ShowProgress(p, rec.FullName);

    int32 eventOutputs = CountBuses(c, rec);

    SetStep(L"GetVendorString");
    CopyPluginText(rec.Vendor, p.factoryInfo.vendor);
    if (c.wide && c.infoW.vendor[0]) CopyPluginText(rec.Vendor, c.infoW.vendor);
    SetStep(L"GetEffectName");
    SetClassName(rec, c);
    SetStep(L"GetProductString");
    CopyPluginText(rec.description, c.info.category);
    rec.isVst3 = 1;
    rec.isX64 = 1;
    rec.isInternal = 0;
    rec.wantEvents = g_eventsFlag;
    rec.isShell = p.shellMode ? 1 : 0;
    rec.isShellRoot = 0;
    rec.uniqueId = static_cast<int32_t>(g_currentPluginId & 0xFFFFFFFF);

    SetStep(L"getParameterCount ");
    rec.numParams = static_cast<uint32_t>(std::max(c.controller->getParameterCount(), 0));
    rec.numPrograms = 0;
    rec.numPrograms = CountPrograms(c.controller);

    rec.vstVersion = 3;
    rec.progsChunks = 1;
    SetStep(L"ReceiveVstTimeInfo");
    rec.registerAsTempoBasedEffect = 1;
    if (eventOutputs > 0) rec.generateEvents = 1;
    rec.cxEditor = 240;
    rec.cyEditor = 20 * std::min<uint32_t>(rec.numParams, 20);

    SetStep(L"canProcessSampleSize");
    if (c.processor->canProcessSampleSize(Vst::kSample64) == kResultOk) rec.doublePrecision = 1;

    GetFileVersionText(p.module.FullPath, rec.dllVersion, ARRAYSIZE(rec.dllVersion));
    if (!rec.dllVersion[0] && c.wide) CopyPluginText(rec.dllVersion, c.infoW.version);

    rec.clsidPlug = rec.clsidPlugMD5 = ToGuid(c.info.cid);
    rec.clsidProps = rec.clsidPropsMD5 = ToGuid(c.controllerCid);

    rec.isARA = 0;
    obj = nullptr;
    if (c.component->queryInterface(ARA::IPlugInEntryPoint::iid, &obj) == kResultOk && obj) {
        rec.isARA = 1;
        static_cast<FUnknown*>(obj)->release();
    }

    ReadPersistCompatibility(c, rec);

    rec.numClasses = 1;
    ++p.processed;
    if (p.shellMode && p.shellRecords) p.shellRecords->push_back(p.working);

    TearDown(c);
    if (!g_ctx.background) PumpMessages();
}

// From the entry points to the released factory; every failure leaves by
// ProbeFailure or by a fault, both caught by the caller's guard.
void WalkModule(Probe& p) {
    SetStep(L"Get Proc Address");
    if (auto init = ProcAddress<InitDllProc>(p.dll, "InitDll")) {
        SetStep(L"Call initProc");
        if (!init()) Fail(kUnexpected);
    }
    p.exitProc = ProcAddress<ExitDllProc>(p.dll, "ExitDll");
    SetStep(L"Get Proc Address");
    auto getFactory = ProcAddress<GetFactoryProc>(p.dll, "GetPluginFactory");
    if (!getFactory) Fail(kUnexpected);
    p.module.hasVstEntryPoint = 1;
    p.module.isVst3 = 1;

    SetStep(L"GetPluginFactory");
    p.factory = getFactory();
    if (!p.factory) Fail(kUnexpected);
    void* obj = nullptr;
    if (p.factory->queryInterface(IPluginFactory2::iid, &obj) == kResultOk)
        p.factory2 = static_cast<IPluginFactory2*>(obj);
    obj = nullptr;
    if (p.factory->queryInterface(IPluginFactory3::iid, &obj) == kResultOk && obj)
        p.factory3 = static_cast<IPluginFactory3*>(obj);

    SetStep(L"getFactoryInfo");
    memset(&p.factoryInfo, 0, sizeof p.factoryInfo);
    if (p.factory->getFactoryInfo(&p.factoryInfo) != kResultOk) Fail(kUnexpected);
    SetStep(L"countClasses");
    p.count = p.factory->countClasses();

    const uint32_t storedClasses = p.module.numClasses;
    p.shellMode = p.count > 1 || storedClasses > 0;
    p.module.isShell = p.module.isShellRoot = p.shellMode ? 1 : 0;

    p.proceed = true;
    if ((p.module.factoryFlags & PFactoryInfo::kClassesDiscardable) && p.count > 0 &&
        static_cast<uint32_t>(p.count) == storedClasses)
        p.proceed = ModuleChanged(p.module, false);

    p.module.isVst3 = 1;
    p.module.isX64 = 1;
    p.module.factoryFlags = static_cast<uint32_t>(p.factoryInfo.flags);
    p.module.numClasses = static_cast<uint32_t>(std::max(p.count, 0));

    for (int32 i = 0; i < p.count && i < kMaxClasses && p.proceed; ++i) ProbeClass(p, i);

    if (p.proceed && p.processed == 0) p.module.isVst3 = 0;

    SetStep(L"release");
    if (p.factory3) p.factory3->release();
    if (p.factory2) p.factory2->release();
    p.factory->release();
}

void LogLoadError(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    WriteLog(L"hPlugin is NULL, plugin failed to load with error %0x, %s\n", error, text ? text : L"");
    if (text) LocalFree(text);
}

}  // namespace

int LoadVst3Plugin(InventoryRecord& moduleRecord, std::vector<InventoryRecord>* shellRecords, HWND progress) {
    SetFunction(L"Load VST3 Plugin");
    SetFailurePoint(L"Load VST3 Plugin");
    SetStep(L"Load Library");
    Probe p{moduleRecord, moduleRecord, shellRecords, progress, nullptr};
    g_currentPluginId = 0;
    g_eventsFlag = 0;
    WriteLog(L"%s: ---- Loading VST plugin %s ----\r\n", kTag, moduleRecord.FullPath);
    EnsureComOnThread();  // before the module's own start-up code runs

    // The module's folder is searched first for what it imports.
    UniqueModule dll(LoadLibraryExW(moduleRecord.FullPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    DWORD loadError = dll ? 0 : GetLastError();
    moduleRecord.loadError = loadError ? loadError : 0;
    ScanHostOwner host;
    p.hostContext = host.Context();

    if (!dll) {
        LogLoadError(loadError);
    } else {
        p.dll = dll.Get();
        WatchModule(p.dll);
        bool failed = false;
        tresult code = 0;
        bool clean = RunGuarded([&] {
            try {
                WalkModule(p);
            } catch (const ProbeFailure& f) {
                failed = true;
                code = f.code;
            }
        });
        if (!clean || failed) {
            if (clean)
                WriteLog(L"%s: Failure (%0x) in function [%s], failure point[%s]\r\n", kTag, code, g_failure.function,
                         g_failure.failurePoint);
            else
                LogExceptionLine();
            dll.Release();  // the plug-in may still own threads or objects: it stays loaded
            throw 0;
        }
        if (p.exitProc) {
            SetStep(L"Call exitProc");
            p.exitProc();
        }
        SetStep(L"Free Library");
        ReleasePluginModule(dll.Release(), moduleRecord.FullPath);
    }

    SetStep(L"Post Unload - HeapValidate");
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
        WriteLog(L"%s: Heap corrupted after calling dispatcher!\r\n", kTag);
        throw 0;
    }
    SetStep(L"Post Unload");
    ModuleChanged(moduleRecord, true);
    return p.processed;
}
