// The host-application object every component and controller of a module is
// initialised with: it tells the plug-in the host's name and creates messages
// and attribute lists for it, and offers nothing else.
#pragma once

#include "vst3/FObject.h"

constexpr char16_t kScanHostName[] = u"Tarnwell Sievo";

class CVST3ScanHost : public Steinberg::FObject, public Steinberg::Vst::IHostApplication {
public:
    CVST3ScanHost() = default;
    ~CVST3ScanHost() override = default;

    static Steinberg::FClassID getFClassID() { return "CVST3ScanHost"; }
    Steinberg::FClassID isA() const override { return CVST3ScanHost::getFClassID(); }
    bool isA(Steinberg::FClassID s) const override { return isTypeOf(s, false); }
    bool isTypeOf(Steinberg::FClassID s, bool askBaseClass = true) const override;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return FObject::addRef(); }
    Steinberg::uint32 PLUGIN_API release() override { return FObject::release(); }

    Steinberg::tresult PLUGIN_API getName(Steinberg::Vst::String128 name) override;
    Steinberg::tresult PLUGIN_API createInstance(Steinberg::TUID cid, Steinberg::TUID iid, void** obj) override;

    // References held back by the owner (not virtual: the tables stay as the SDK has them).
    void AddReserve(Steinberg::int32 count) { refCount += count; }
};

// The probe's hold on its host context for one module. Besides its own
// reference it keeps a reserve, so a plug-in that releases more often than it
// took references cannot destroy the object while the probe still hands it
// out; the object goes when the owner does, whatever the count says then.
class ScanHostOwner {
public:
    static constexpr Steinberg::int32 kReserve = 1 << 20;

    ScanHostOwner();
    ~ScanHostOwner();
    ScanHostOwner(const ScanHostOwner&) = delete;
    ScanHostOwner& operator=(const ScanHostOwner&) = delete;

    CVST3ScanHost* Get() const { return host_; }
    // The view handed to initialize().
    Steinberg::FUnknown* Context() const { return static_cast<Steinberg::Vst::IHostApplication*>(host_); }

private:
    CVST3ScanHost* host_;
};
