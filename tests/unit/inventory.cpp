// Records in the real registry where a scan cannot reach: what an update write
// keeps, what a partial read gives back, and the class ids of VST 2 plug-ins.
// (What a scan stores and sweeps, the end-to-end tests check with Sievo.exe.)
#include <gtest/gtest.h>

#include <objbase.h>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/ClsidGen.h"
#include "inventory/InventoryStore.h"

using namespace sievo_test;

namespace {

constexpr wchar_t kEcho[] = L"Inventory\\C:/VST/Echo.dll";

// A record with every field away from its default, so a field that is not
// written or not read back shows up.
InventoryRecord Everything() {
    InventoryRecord r;
    CLSIDFromString(L"{141AC902-4142-4344-4543-484F00000000}", &r.clsidPlug);
    CLSIDFromString(L"{586944CE-EF00-0F12-C730-42BD915F9CF6}", &r.clsidPropsMD5);
    CLSIDFromString(L"{01234567-89AB-CDEF-0123-456789ABCDEF}", &r.clsidVST3Compatible);
    wcscpy(r.FullName, L"Echo Chamber");
    wcscpy(r.FullPath, L"C:\\VST\\Echo.dll");
    wcscpy(r.Vendor, L"Tarnwell Test Labs");
    wcscpy(r.Subcategories, L"Fx|Delay");
    r.uniqueId = 0x41424344;
    for (int i = 0; i < 12; ++i) r.modStats[i] = static_cast<uint8_t>(0xA0 + i);
    r.numInputs = 6, r.maxUsedInputs = 4, r.numOutputs = 8, r.numParams = 57, r.cyEditor = 480, r.gantryServerId = 4;
    r.addVstPrefix = 0;
    for (uint32_t* flag : {&r.isVst, &r.isSynth, &r.jBridgeLoader, &r.forceStereo, &r.forceSuspendOnPlay, &r.isX64,
                           &r.hasVstEntryPoint, &r.doublePrecision})
        *flag = 1;
    return r;
}

TEST(InventoryStore, WritesReadBackUpdatesKeepOptionsAndPartialReadsTakeIdentity) {
    CoInitialize(nullptr);  // the logging component is a COM object
    TestKey key;
    g_ctx.registryRoot = HKEY_CURRENT_USER;
    wcscpy(g_ctx.configKeyPath, key.Path().c_str());
    RegKey record;
    ASSERT_EQ(record.Create(HKEY_CURRENT_USER, key.Sub(kEcho).c_str(), KEY_ALL_ACCESS), ERROR_SUCCESS);
    InventoryRecord written = Everything(), read;
    WriteVstData(record.Get(), written, 1, 0);
    ReadVstData(record.Get(), read, 0);
    read.isNew = written.isNew;
    EXPECT_TRUE(read.SameAs(written));
    EXPECT_EQ(key.Show(kEcho, L"gantryServerId addVstPrefix touch"), L"gantryServerId=5 addVstPrefix=0 touch=1")
        << "the server as index + 1, the prefix flag as the inverse of noPrefix";

    // An update write takes the file statistics anew and keeps the user's options.
    InventoryRecord rescanned;
    wcscpy(rescanned.FullPath, L"C:\\VST\\Echo.dll");
    rescanned.isVst = rescanned.numClasses = 1;
    rescanned.modStats[0] = 0x11;
    WriteVstData(record.Get(), rescanned, 0, 1);
    read = InventoryRecord();
    ReadVstData(record.Get(), read, 0);
    EXPECT_EQ(read.modStats[0], 0x11);
    EXPECT_EQ(read.forceStereo + read.jBridgeLoader + read.maxUsedInputs, 6u);
    EXPECT_EQ(read.gantryServerId, 4);
    EXPECT_EQ(read.addVstPrefix, 0u) << "only a full write rewrites the prefix flag";

    // A partial read takes identity and options only; a VST 2 shell is walked in every scan.
    written.isShell = 1, written.factoryFlags = 0;
    WriteVstData(record.Get(), written, 1, 0);
    InventoryRecord partial;
    ReadVstData(record.Get(), partial, 1);
    EXPECT_TRUE(IsEqualGUID(partial.clsidPlug, written.clsidPlug));
    EXPECT_EQ(partial.forceSuspendOnPlay + partial.factoryFlags, 2u);
    EXPECT_EQ(partial.FullName[0] + partial.numParams, 0u);

    // Missing values take their defaults.
    for (const wchar_t* name : {L"maxUsedInputs", L"gantryServerId"}) RegDeleteValueW(record.Get(), name);
    ReadVstData(record.Get(), read, 0);
    EXPECT_EQ(read.maxUsedInputs, 6u) << "a missing maxUsedInputs is the input count";
    EXPECT_EQ(read.gantryServerId, -1) << "a missing server id is the default server";
}

// The hashed digests were computed independently (Python's hashlib).
TEST(Clsid, TextFormFromIdAndShortNameHashedFormFromIdAndFileStem) {
    const struct {
        int32_t uniqueId;
        const wchar_t *dosName, *fullPath, *plug, *plugMd5;
    } cases[] = {
        // Folder and extension play no part in the hashed form; the text form takes eight code units.
        {0x41424344, L"ABCDEFGHIJK", L"D:/Other/Echo.vst", L"{141AC902-4142-4344-4142-434445464748}",
         L"{586944CE-EF00-0F12-C730-42BD915F9CF6}"},
        {-2, L"ECHO", L"C:\\VST\\Echo.dll", L"{141AC902-FFFF-FFFE-4543-484F00000000}",
         L"{B093646A-0D6D-F5A4-74B2-AA5E39DCF1DB}"},
    };
    for (const auto& c : cases) {
        InventoryRecord r;
        r.uniqueId = c.uniqueId;
        wcsncpy(r.DosName, c.dosName, 11);
        wcsncpy(r.FullPath, c.fullPath, 259);
        GenerateVSTClsid(&r);
        EXPECT_EQ(GuidText(r.clsidPlug), c.plug) << Narrow(c.fullPath);
        EXPECT_EQ(GuidText(r.clsidPlugMD5), c.plugMd5) << Narrow(c.fullPath);
    }
}

}  // namespace
