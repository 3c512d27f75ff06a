#include "vst3/HostMessage.h"

#include <cstring>

namespace Steinberg {
namespace Vst {

namespace {

// A name from the plug-in, read no further than the bound.
bool AttrName(const char* id, std::string* out) {
    if (!id) return false;
    out->assign(id, strnlen(id, kMaxAttrIdChars));
    return true;
}

size_t BoundedLength(const TChar* s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

}  // namespace

// ---- HostAttributeList ----

tresult PLUGIN_API HostAttributeList::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    if (iidEqual(iid, FUnknown::iid) || iidEqual(iid, IAttributeList::iid)) {
        addRef();
        *obj = static_cast<IAttributeList*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API HostAttributeList::addRef() {
    return static_cast<uint32>(++refCount_);
}

uint32 PLUGIN_API HostAttributeList::release() {
    int32 left = --refCount_;
    if (left == 0) delete this;
    return static_cast<uint32>(left < 0 ? 0 : left);
}

const HostAttributeList::Attribute* HostAttributeList::Find(AttrID id, Attribute::Type type) const {
    std::string name;
    if (!AttrName(id, &name)) return nullptr;
    auto it = values_.find(name);
    if (it == values_.end() || it->second.type != type) return nullptr;
    return &it->second;
}

tresult PLUGIN_API HostAttributeList::setInt(AttrID id, int64 value) {
    std::string name;
    if (!AttrName(id, &name)) return kInvalidArgument;
    Attribute a;
    a.type = Attribute::Type::kInteger;
    a.intValue = value;
    values_[name] = std::move(a);
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::getInt(AttrID id, int64& value) {
    const Attribute* a = Find(id, Attribute::Type::kInteger);
    if (!a) return kResultFalse;
    value = a->intValue;
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::setFloat(AttrID id, double value) {
    std::string name;
    if (!AttrName(id, &name)) return kInvalidArgument;
    Attribute a;
    a.type = Attribute::Type::kFloat;
    a.floatValue = value;
    values_[name] = std::move(a);
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::getFloat(AttrID id, double& value) {
    const Attribute* a = Find(id, Attribute::Type::kFloat);
    if (!a) return kResultFalse;
    value = a->floatValue;
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::setString(AttrID id, const TChar* string) {
    std::string name;
    if (!AttrName(id, &name) || !string) return kInvalidArgument;
    Attribute a;
    a.type = Attribute::Type::kString;
    a.stringValue.assign(string, BoundedLength(string, kMaxAttrStringChars));
    values_[name] = std::move(a);
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::getString(AttrID id, TChar* string, uint32 sizeInBytes) {
    const Attribute* a = Find(id, Attribute::Type::kString);
    if (!a) return kResultFalse;
    size_t chars = sizeInBytes / sizeof(TChar);
    if (!string || chars == 0) return kInvalidArgument;
    // Cut to the caller's buffer and always terminated inside it.
    size_t n = a->stringValue.size() < chars - 1 ? a->stringValue.size() : chars - 1;
    memcpy(string, a->stringValue.data(), n * sizeof(TChar));
    string[n] = 0;
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::setBinary(AttrID id, const void* data, uint32 sizeInBytes) {
    std::string name;
    if (!AttrName(id, &name) || (!data && sizeInBytes)) return kInvalidArgument;
    if (sizeInBytes > kMaxAttrBinaryBytes) return kOutOfMemory;
    Attribute a;
    a.type = Attribute::Type::kBinary;
    const uint8* bytes = static_cast<const uint8*>(data);
    a.binaryValue.assign(bytes, bytes + sizeInBytes);
    values_[name] = std::move(a);
    return kResultTrue;
}

tresult PLUGIN_API HostAttributeList::getBinary(AttrID id, const void*& data, uint32& sizeInBytes) {
    const Attribute* a = Find(id, Attribute::Type::kBinary);
    if (!a) return kResultFalse;
    data = a->binaryValue.data();
    sizeInBytes = static_cast<uint32>(a->binaryValue.size());
    return kResultTrue;
}

// ---- HostMessage ----

HostMessage::~HostMessage() {
    if (attributes_) attributes_->release();
}

tresult PLUGIN_API HostMessage::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    if (iidEqual(iid, FUnknown::iid) || iidEqual(iid, IMessage::iid)) {
        addRef();
        *obj = static_cast<IMessage*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API HostMessage::addRef() {
    return static_cast<uint32>(++refCount_);
}

uint32 PLUGIN_API HostMessage::release() {
    int32 left = --refCount_;
    if (left == 0) delete this;
    return static_cast<uint32>(left < 0 ? 0 : left);
}

FIDString PLUGIN_API HostMessage::getMessageID() {
    return hasId_ ? messageId_.c_str() : nullptr;
}

void PLUGIN_API HostMessage::setMessageID(FIDString id) {
    hasId_ = id != nullptr;
    if (id)
        messageId_.assign(id, strnlen(id, kMaxAttrIdChars));
    else
        messageId_.clear();
}

IAttributeList* PLUGIN_API HostMessage::getAttributes() {
    if (!attributes_) attributes_ = new HostAttributeList();
    return attributes_;
}

}  // namespace Vst
}  // namespace Steinberg
