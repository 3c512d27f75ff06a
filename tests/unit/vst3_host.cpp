// The host context the VST 3 probe hands to plug-ins, and the message and
// attribute-list objects it creates for them, called the way a plug-in would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vst3/HostMessage.h"
#include "vst3/ScanHost.h"

namespace {

using namespace Steinberg;

const FUID kUnknownIid(0x12345678, 0x9ABCDEF0, 0x0FEDCBA9, 0x87654321);

TEST(Vst3Host, GetNameWritesOnlyTheNameAndItsTerminator) {
    ScanHostOwner owner;
    char16 buffer[140];
    for (char16& c : buffer) c = 0xAAAA;
    EXPECT_EQ(owner.Get()->getName(buffer), kResultOk);
    EXPECT_EQ(std::u16string(buffer), u"Tarnwell Sievo");
    for (int i = 15; i < 140; ++i) ASSERT_EQ(buffer[i], 0xAAAA) << "written at " << i;
}

struct CreateCase {
    const FUID* cid;
    const FUID* iid;
    tresult result;
    bool object;
};

class Vst3HostCreate : public ::testing::TestWithParam<CreateCase> {};

TEST_P(Vst3HostCreate, AnswersOnlyMessagesAndAttributeLists) {
    const CreateCase& c = GetParam();
    ScanHostOwner owner;
    TUID cid = {}, iid = {};
    if (c.cid) c.cid->toTUID(cid);
    if (c.iid) c.iid->toTUID(iid);
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(owner.Get()->createInstance(c.cid ? cid : nullptr, c.iid ? iid : nullptr, &obj), c.result);
    EXPECT_EQ(obj != nullptr, c.object);
    if (obj) static_cast<FUnknown*>(obj)->release();
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, Vst3HostCreate,
    ::testing::Values(CreateCase{&Vst::IMessage::iid, &Vst::IMessage::iid, kResultTrue, true},
                      CreateCase{&Vst::IAttributeList::iid, &Vst::IAttributeList::iid, kResultTrue, true},
                      CreateCase{&Vst::IAttributeList::iid, &Vst::IMessage::iid, kResultFalse, false},
                      CreateCase{&Vst::IMessage::iid, &Vst::IAttributeList::iid, kResultFalse, false},
                      CreateCase{&FUnknown::iid, &FUnknown::iid, kResultFalse, false},
                      CreateCase{nullptr, nullptr, kResultFalse, false},
                      CreateCase{nullptr, &Vst::IMessage::iid, kResultFalse, false}));

TEST(Vst3Host, CreatedMessageCarriesAWorkingAttributeList) {
    ScanHostOwner owner;
    TUID iid;
    Vst::IMessage::iid.toTUID(iid);
    void* obj = nullptr;
    ASSERT_EQ(owner.Get()->createInstance(iid, iid, &obj), kResultTrue);
    auto* message = static_cast<Vst::IMessage*>(obj);
    message->setMessageID("Ping");
    EXPECT_STREQ(message->getMessageID(), "Ping");
    Vst::IAttributeList* attributes = message->getAttributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(message->getAttributes(), attributes);
    EXPECT_EQ(attributes->setInt("count", 42), kResultTrue);
    int64 value = 0;
    EXPECT_EQ(attributes->getInt("count", value), kResultTrue);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(message->release(), 0u);
}

struct QueryCase {
    const FUID* iid;
    tresult result;
};

class Vst3HostQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(Vst3HostQuery, AnswersItsOwnInterfacesWithAReference) {
    const QueryCase& c = GetParam();
    ScanHostOwner owner;
    CVST3ScanHost* host = owner.Get();
    int32 before = host->getRefCount();
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(host->queryInterface(*c.iid, &obj), c.result);
    if (c.result == kResultOk) {
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(host->getRefCount(), before + 1);
        static_cast<FUnknown*>(obj)->release();
    } else {
        EXPECT_EQ(obj, nullptr);
        EXPECT_EQ(host->getRefCount(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Interfaces, Vst3HostQuery,
                         ::testing::Values(QueryCase{&Vst::IHostApplication::iid, kResultOk},
                                           QueryCase{&FUnknown::iid, kResultOk}, QueryCase{&IDependent::iid, kResultOk},
                                           QueryCase{&FObject::iid, kResultOk},
                                           QueryCase{&Vst::IPlugInterfaceSupport::iid, kNoInterface},
                                           QueryCase{&Vst::IMessage::iid, kNoInterface},
                                           QueryCase{&kUnknownIid, kNoInterface}));

TEST(Vst3Host, HostApplicationViewIsTheSecondTable) {
    ScanHostOwner owner;
    void* obj = nullptr;
    ASSERT_EQ(owner.Get()->queryInterface(Vst::IHostApplication::iid, &obj), kResultOk);
    auto* view = static_cast<Vst::IHostApplication*>(obj);
    EXPECT_EQ(view, static_cast<Vst::IHostApplication*>(owner.Get()));
    EXPECT_NE(static_cast<void*>(view), static_cast<void*>(owner.Get()));
    // Reference counting through that view reaches the one count.
    int32 before = owner.Get()->getRefCount();
    view->addRef();
    EXPECT_EQ(owner.Get()->getRefCount(), before + 1);
    view->release();
    view->release();
    EXPECT_EQ(owner.Get()->getRefCount(), before - 1);
}

TEST(Vst3Host, ClassNamesAnswerLikeTheSdkObjects) {
    ScanHostOwner owner;
    CVST3ScanHost* host = owner.Get();
    EXPECT_STREQ(host->isA(), "CVST3ScanHost");
    EXPECT_TRUE(host->isA("CVST3ScanHost"));
    EXPECT_FALSE(host->isA("FObject"));
    EXPECT_TRUE(host->isTypeOf("CVST3ScanHost", false));
    EXPECT_TRUE(host->isTypeOf("CVST3ScanHost", true));
    EXPECT_TRUE(host->isTypeOf("FObject", true));
    EXPECT_FALSE(host->isTypeOf("FObject", false));
    EXPECT_FALSE(host->isTypeOf("HostMessage", true));
    EXPECT_FALSE(host->isTypeOf(nullptr, true));
    // Through the base, as FCast does.
    const FObject* base = host;
    EXPECT_TRUE(base->isTypeOf("CVST3ScanHost", true));
}

TEST(Vst3Host, OwnerKeepsTheObjectThroughOverRelease) {
    ScanHostOwner owner;
    FUnknown* context = owner.Context();
    for (int i = 0; i < 50; ++i) context->release();
    EXPECT_GT(owner.Get()->getRefCount(), 0);
    char16 name[128] = {};
    EXPECT_EQ(owner.Get()->getName(name), kResultOk);
    EXPECT_EQ(std::u16string(name), u"Tarnwell Sievo");
}

// ---- attribute list ----

TEST(Vst3Attributes, EachTypeRoundTripsAndOnlyAsItsOwnType) {
    auto* list = new Vst::HostAttributeList();
    EXPECT_EQ(list->setInt("i", -7), kResultTrue);
    EXPECT_EQ(list->setFloat("f", 2.5), kResultTrue);
    EXPECT_EQ(list->setString("s", u"text"), kResultTrue);
    const unsigned char blob[] = {1, 2, 3, 0, 5};
    EXPECT_EQ(list->setBinary("b", blob, sizeof blob), kResultTrue);

    int64 i = 0;
    double f = 0;
    char16 s[16] = {};
    const void* data = nullptr;
    uint32 size = 0;
    EXPECT_EQ(list->getInt("i", i), kResultTrue);
    EXPECT_EQ(i, -7);
    EXPECT_EQ(list->getFloat("f", f), kResultTrue);
    EXPECT_EQ(f, 2.5);
    EXPECT_EQ(list->getString("s", s, sizeof s), kResultTrue);
    EXPECT_EQ(std::u16string(s), u"text");
    EXPECT_EQ(list->getBinary("b", data, size), kResultTrue);
    ASSERT_EQ(size, sizeof blob);
    EXPECT_EQ(memcmp(data, blob, sizeof blob), 0);

    EXPECT_EQ(list->getInt("f", i), kResultFalse);
    EXPECT_EQ(list->getFloat("i", f), kResultFalse);
    EXPECT_EQ(list->getString("b", s, sizeof s), kResultFalse);
    EXPECT_EQ(list->getBinary("s", data, size), kResultFalse);
    EXPECT_EQ(list->getInt("missing", i), kResultFalse);
    EXPECT_EQ(list->getInt(nullptr, i), kResultFalse);
    EXPECT_EQ(list->setInt(nullptr, 1), kInvalidArgument);

    // A value replaces the earlier one of the same name, whatever its type.
    EXPECT_EQ(list->setInt("s", 9), kResultTrue);
    EXPECT_EQ(list->getString("s", s, sizeof s), kResultFalse);
    EXPECT_EQ(list->release(), 0u);
}

TEST(Vst3Attributes, StringsAreCutToTheCallersBufferAndTerminated) {
    auto* list = new Vst::HostAttributeList();
    list->setString("s", u"abcdefgh");
    char16 buffer[8];
    for (char16& c : buffer) c = 0xAAAA;
    EXPECT_EQ(list->getString("s", buffer, 4 * sizeof(char16)), kResultTrue);
    EXPECT_EQ(std::u16string(buffer), u"abc");
    for (int i = 4; i < 8; ++i) EXPECT_EQ(buffer[i], 0xAAAA);
    EXPECT_EQ(list->getString("s", buffer, 1), kInvalidArgument);  // not even one character
    EXPECT_EQ(list->getString("s", nullptr, 16), kInvalidArgument);
    list->release();
}

TEST(Vst3Attributes, PluginInputIsReadWithinBounds) {
    auto* list = new Vst::HostAttributeList();
    // A string with no terminator in reach: kept up to the bound, not beyond.
    std::vector<char16> endless(Vst::kMaxAttrStringChars + 16, u'x');
    EXPECT_EQ(list->setString("s", endless.data()), kResultTrue);
    std::vector<char16> back(Vst::kMaxAttrStringChars + 16, 0);
    EXPECT_EQ(list->getString("s", back.data(), static_cast<uint32>(back.size() * sizeof(char16))), kResultTrue);
    EXPECT_EQ(std::u16string(back.data()).size(), Vst::kMaxAttrStringChars);
    // An attribute name with no terminator is cut the same way.
    std::vector<char> longId(Vst::kMaxAttrIdChars + 8, 'k');
    EXPECT_EQ(list->setInt(longId.data(), 5), kResultTrue);
    int64 v = 0;
    EXPECT_EQ(list->getInt(std::string(Vst::kMaxAttrIdChars, 'k').c_str(), v), kResultTrue);
    EXPECT_EQ(v, 5);
    // Absurd binary sizes are refused before anything is read.
    const char small = 0;
    EXPECT_EQ(list->setBinary("b", &small, Vst::kMaxAttrBinaryBytes + 1), kOutOfMemory);
    EXPECT_EQ(list->setBinary("b", nullptr, 4), kInvalidArgument);
    EXPECT_EQ(list->setBinary("b", nullptr, 0), kResultTrue);
    EXPECT_EQ(list->setString("s", nullptr), kInvalidArgument);
    list->release();
}

TEST(Vst3Attributes, QueryInterfaceAndMessageIds) {
    auto* list = new Vst::HostAttributeList();
    void* obj = nullptr;
    EXPECT_EQ(list->queryInterface(Vst::IAttributeList::iid, &obj), kResultOk);
    EXPECT_EQ(obj, static_cast<Vst::IAttributeList*>(list));
    EXPECT_EQ(list->queryInterface(Vst::IMessage::iid, &obj), kNoInterface);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(list->release(), 1u);
    EXPECT_EQ(list->release(), 0u);

    auto* message = new Vst::HostMessage();
    EXPECT_EQ(message->getMessageID(), nullptr);
    std::vector<char> longId(Vst::kMaxAttrIdChars + 8, 'm');
    message->setMessageID(longId.data());
    EXPECT_EQ(strlen(message->getMessageID()), Vst::kMaxAttrIdChars);
    message->setMessageID(nullptr);
    EXPECT_EQ(message->getMessageID(), nullptr);
    EXPECT_EQ(message->queryInterface(Vst::IMessage::iid, &obj), kResultOk);
    EXPECT_EQ(message->release(), 1u);
    EXPECT_EQ(message->release(), 0u);
}

}  // namespace
