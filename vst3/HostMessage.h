// The two objects a plug-in may ask the host to create: a message and an
// attribute list holding integers, floats, UTF-16 strings and binary blocks.
// Everything a plug-in hands in is copied with a bound, so a string without
// terminator or an absurd size cannot make the host read or keep without end.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "vst3/Vst3Api.h"

namespace Steinberg {
namespace Vst {

// Longest attribute name or message id kept (characters).
constexpr size_t kMaxAttrIdChars = 1024;
// Longest string value kept (UTF-16 characters); longer ones are cut.
constexpr size_t kMaxAttrStringChars = 64 * 1024;
// Largest binary value accepted; larger ones are refused with kOutOfMemory.
constexpr uint32 kMaxAttrBinaryBytes = 16 * 1024 * 1024;

class HostAttributeList : public IAttributeList {
public:
    HostAttributeList() = default;
    virtual ~HostAttributeList() = default;

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 PLUGIN_API addRef() override;
    uint32 PLUGIN_API release() override;

    tresult PLUGIN_API setInt(AttrID id, int64 value) override;
    tresult PLUGIN_API getInt(AttrID id, int64& value) override;
    tresult PLUGIN_API setFloat(AttrID id, double value) override;
    tresult PLUGIN_API getFloat(AttrID id, double& value) override;
    tresult PLUGIN_API setString(AttrID id, const TChar* string) override;
    tresult PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) override;
    tresult PLUGIN_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) override;
    tresult PLUGIN_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) override;

private:
    struct Attribute {
        enum class Type { kInteger, kFloat, kString, kBinary } type = Type::kInteger;
        int64 intValue = 0;
        double floatValue = 0;
        std::u16string stringValue;
        std::vector<uint8> binaryValue;
    };
    const Attribute* Find(AttrID id, Attribute::Type type) const;

    std::atomic<int32> refCount_{1};
    std::map<std::string, Attribute> values_;
};

class HostMessage : public IMessage {
public:
    HostMessage() = default;
    virtual ~HostMessage();

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 PLUGIN_API addRef() override;
    uint32 PLUGIN_API release() override;

    FIDString PLUGIN_API getMessageID() override;
    void PLUGIN_API setMessageID(FIDString id) override;
    // Created on first use; the message keeps its reference.
    IAttributeList* PLUGIN_API getAttributes() override;

private:
    std::atomic<int32> refCount_{1};
    std::string messageId_;
    bool hasId_ = false;
    HostAttributeList* attributes_ = nullptr;
};

}  // namespace Vst
}  // namespace Steinberg
