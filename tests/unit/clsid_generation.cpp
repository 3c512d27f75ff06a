// Class ids of VST 2 plug-ins: the text form from unique id and short name,
// the hashed form from unique id and file name. Expected digests were
// computed independently (Python's hashlib) and are written here as constants.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "inventory/ClsidGen.h"
#include "inventory/Crypt.h"

namespace {

std::wstring Text(const GUID& id) {
    wchar_t text[64] = {};
    StringFromGUID2(id, text, 64);
    return text;
}

std::string Hex(const BYTE* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

InventoryRecord Record(int32_t uniqueId, const wchar_t* dosName, const wchar_t* fullPath) {
    InventoryRecord r;
    r.uniqueId = uniqueId;
    wcsncpy(r.DosName, dosName, 11);
    wcsncpy(r.FullPath, fullPath, 259);
    return r;
}

TEST(ClsidWorkedExample, AllFourIds) {
    InventoryRecord r = Record(0x41424344, L"ECHO", L"C:\\VST\\Echo.dll");
    GenerateVSTClsid(&r);
    EXPECT_EQ(Text(r.clsidPlug), L"{141AC902-4142-4344-4543-484F00000000}");
    EXPECT_EQ(Text(r.clsidProps), L"{141AC903-4142-4344-4543-484F00000000}");
    EXPECT_EQ(Text(r.clsidPlugMD5), L"{586944CE-EF00-0F12-C730-42BD915F9CF6}");
    EXPECT_EQ(Text(r.clsidPropsMD5), L"{3F3745F4-CEAF-D582-637C-73059A1A06CC}");
}

TEST(ClsidWorkedExample, HashBlockAndDigest) {
    std::vector<BYTE> block;
    ASSERT_TRUE(MakeClsidHashBlock(kPluginClsidPrefix, 0x41424344, L"C:\\VST\\Echo.dll", &block));
    ASSERT_EQ(block.size(), 28u);
    EXPECT_EQ(Hex(block.data(), block.size()),
              "31003400310041004300390030003200"
              "44434241"
              "4500630068006f00");

    CCrypt crypt(0);
    ASSERT_TRUE(crypt.Ready());
    BYTE digest[16] = {};
    ASSERT_TRUE(crypt.Hash(block.data(), static_cast<DWORD>(block.size()), digest));
    EXPECT_EQ(Hex(digest, 16), "ce44695800ef120fc73042bd915f9cf6");

    ASSERT_TRUE(MakeClsidHashBlock(kPropsClsidPrefix, 0x41424344, L"C:\\VST\\Echo.dll", &block));
    EXPECT_EQ(Hex(block.data(), block.size()),
              "31003400310041004300390030003300"
              "44434241"
              "4500630068006f00");
}

TEST(Crypt, CipherChoiceAndRefusals) {
    CCrypt rc4(0), rc2(1);
    EXPECT_EQ(rc4.Cipher(), static_cast<ALG_ID>(CALG_RC4));
    EXPECT_EQ(rc4.BlockLength(), 1u);
    EXPECT_EQ(rc2.Cipher(), static_cast<ALG_ID>(CALG_RC2));
    EXPECT_EQ(rc2.BlockLength(), 8u);

    BYTE digest[16];
    memset(digest, 0xAA, sizeof digest);
    EXPECT_FALSE(rc4.Hash(nullptr, 4, digest));
    EXPECT_EQ(digest[0], 0xAA) << "a refused call leaves the output alone";
    EXPECT_FALSE(rc4.Hash("abc", 3, nullptr));
    // RFC 1321 test vector.
    ASSERT_TRUE(rc4.Hash("abc", 3, digest));
    EXPECT_EQ(Hex(digest, 16), "900150983cd24fb0d6963f7d28e17f72");
}

struct TextCase {
    int32_t uniqueId;
    const wchar_t* dosName;
    const wchar_t* plug;
    const wchar_t* props;
};

TEST(ClsidTextForm, UniqueIdAndShortName) {
    const TextCase cases[] = {
        {-2, L"ECHO", L"{141AC902-FFFF-FFFE-4543-484F00000000}", L"{141AC903-FFFF-FFFE-4543-484F00000000}"},
        {0, L"ECHO", L"{141AC902-0000-0000-4543-484F00000000}", L"{141AC903-0000-0000-4543-484F00000000}"},
        {0x12AB34CD, L"A", L"{141AC902-12AB-34CD-4100-000000000000}", L"{141AC903-12AB-34CD-4100-000000000000}"},
        {1, L"", L"{141AC902-0000-0001-0000-000000000000}", L"{141AC903-0000-0001-0000-000000000000}"},
        {1, L"ABCDEFGH", L"{141AC902-0000-0001-4142-434445464748}", L"{141AC903-0000-0001-4142-434445464748}"},
        // Only the first eight code units count.
        {1, L"ABCDEFGHIJK", L"{141AC902-0000-0001-4142-434445464748}", L"{141AC903-0000-0001-4142-434445464748}"},
        {INT32_MIN, L"b~1", L"{141AC902-8000-0000-627E-310000000000}", L"{141AC903-8000-0000-627E-310000000000}"},
    };
    for (const TextCase& c : cases) {
        InventoryRecord r = Record(c.uniqueId, c.dosName, L"C:\\VST\\Echo.dll");
        GenerateVSTClsid(&r);
        EXPECT_EQ(Text(r.clsidPlug), c.plug) << c.dosName << " " << c.uniqueId;
        EXPECT_EQ(Text(r.clsidProps), c.props) << c.dosName << " " << c.uniqueId;
    }
}

struct Md5Case {
    int32_t uniqueId;
    const wchar_t* fullPath;
    const wchar_t* plugMd5;
};

TEST(ClsidHashedForm, DependsOnIdAndFileStemOnly) {
    const Md5Case cases[] = {
        // Folder and extension play no part.
        {0x41424344, L"C:\\VST\\Echo.dll", L"{586944CE-EF00-0F12-C730-42BD915F9CF6}"},
        {0x41424344, L"D:\\Other\\Deeper\\Echo.vst", L"{586944CE-EF00-0F12-C730-42BD915F9CF6}"},
        {0x41424344, L"C:/Forward/Slashes/Echo.dll", L"{586944CE-EF00-0F12-C730-42BD915F9CF6}"},
        {0x41424344, L"Echo", L"{586944CE-EF00-0F12-C730-42BD915F9CF6}"},
        {0x41424344, L"C:\\VST\\Echo2.dll", L"{35E9C26D-D55D-C0F5-A35F-AE51B3270340}"},
        // Only the last dot starts the extension.
        {0x41424344, L"C:\\VST\\My.Plugin.dll", L"{4D2577BD-E809-CC9A-E084-551B63B1CE7C}"},
        {-2, L"C:\\VST\\Echo.dll", L"{B093646A-0D6D-F5A4-74B2-AA5E39DCF1DB}"},
        {0, L"C:\\VST\\Echo.dll", L"{180D022A-137C-AAD5-AF01-07266F534495}"},
        {0x41424344, L"C:\\VST\\.dll", L"{18898E0A-939F-55E8-3BCD-F1A4BD87776B}"},
    };
    for (const Md5Case& c : cases) {
        GUID id = {};
        EXPECT_EQ(MakeMD5Clsid(kPluginClsidPrefix, c.uniqueId, c.fullPath, &id), S_OK);
        EXPECT_EQ(Text(id), c.plugMd5) << c.fullPath << " " << c.uniqueId;
    }
    EXPECT_EQ(MakeMD5Clsid(kPluginClsidPrefix, 1, L"C:\\x.dll", nullptr), E_POINTER);
}

TEST(ClsidHashedForm, NegativeIdPropertyPage) {
    InventoryRecord r = Record(-2, L"ECHO", L"C:\\VST\\Echo.dll");
    GenerateVSTClsid(&r);
    EXPECT_EQ(Text(r.clsidPlugMD5), L"{B093646A-0D6D-F5A4-74B2-AA5E39DCF1DB}");
    EXPECT_EQ(Text(r.clsidPropsMD5), L"{9F9E9199-0038-A719-F36C-BC6E9B6A428F}");
}

TEST(ClsidGeneration, SameIdAndShortNameButOtherFileShareOnlyTheTextIds) {
    InventoryRecord a = Record(0x41424344, L"ECHO", L"C:\\VST\\Echo.dll");
    InventoryRecord b = Record(0x41424344, L"ECHO", L"C:\\VST\\Echo2.dll");
    GenerateVSTClsid(&a);
    GenerateVSTClsid(&b);
    EXPECT_EQ(Text(a.clsidPlug), Text(b.clsidPlug));
    EXPECT_EQ(Text(a.clsidProps), Text(b.clsidProps));
    EXPECT_NE(Text(a.clsidPlugMD5), Text(b.clsidPlugMD5));
    EXPECT_NE(Text(a.clsidPropsMD5), Text(b.clsidPropsMD5));
}

TEST(ClsidGeneration, ShellRootAndNullRecordAreLeftAlone) {
    InventoryRecord r = Record(0x41424344, L"ECHO", L"C:\\VST\\Echo.dll");
    r.isShellRoot = 1;
    const GUID marker = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    r.clsidPlug = r.clsidProps = r.clsidPlugMD5 = r.clsidPropsMD5 = marker;
    GenerateVSTClsid(&r);
    EXPECT_EQ(Text(r.clsidPlug), Text(marker));
    EXPECT_EQ(Text(r.clsidProps), Text(marker));
    EXPECT_EQ(Text(r.clsidPlugMD5), Text(marker));
    EXPECT_EQ(Text(r.clsidPropsMD5), Text(marker));
    GenerateVSTClsid(nullptr);  // must simply return
}

TEST(ClsidGeneration, ShortNameBeyondLatin1StillGetsHashedIds) {
    // A code unit above 0xFF gives more than two digits: no valid text id,
    // yet the hashed ids (which ignore the short name) are made.
    InventoryRecord r = Record(0x41424344, L"E\x0416HO", L"C:\\VST\\Echo.dll");
    GenerateVSTClsid(&r);
    EXPECT_EQ(Text(r.clsidPlugMD5), L"{586944CE-EF00-0F12-C730-42BD915F9CF6}");
    EXPECT_EQ(Text(r.clsidPropsMD5), L"{3F3745F4-CEAF-D582-637C-73059A1A06CC}");
    // Cutting the code unit to its low byte would have made a valid, wrong id.
    EXPECT_NE(Text(r.clsidPlug), L"{141AC902-4142-4344-4516-484F00000000}");
}

}  // namespace
