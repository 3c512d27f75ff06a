// The pictures of the host's channel-strip modules: a full scan stores each
// picture a module hands over as PNG under the cache root, once per class id
// of the module's record, and deletes the bitmaps it received.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "core/Win32Owners.h"
#include "bitmaps_png.h"

using namespace sievo_test;
using namespace bitmaps_test;

namespace {

class BitmapScan : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteLogs();
        key.AddScanPath(dir.Make(L"plugins"));
        key.SetDword(L"rescanExisting", 1);
        module = dir.Copy(PluginPath(L"stripdeck_bitmaps"), L"plugins\\Strip Pictures.dll");
        ASSERT_TRUE(gdiplus.Started());
    }

    void SetCacheRoot(const std::wstring& root) {
        RegKey k;
        ASSERT_EQ(k.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_SET_VALUE), ERROR_SUCCESS);
        RegSetValueExW(k.Get(), L"VSTBitmapCachePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(root.c_str()),
                       static_cast<DWORD>((root.size() + 1) * sizeof(wchar_t)));
    }
    void Scan() { ASSERT_EQ(RunSievo(key.Args() + L"/Log").exitCode, 0u); }

    std::wstring ClassId(const std::wstring& moduleCopy, const wchar_t* name) {
        std::wstring id;
        EXPECT_TRUE(key.GetString(name, &id, (L"Inventory\\" + TestKey::RecordKey(moduleCopy)).c_str())) << name;
        return id;
    }
    // What the module noted about the bitmaps it handed out, once closed.
    std::string Handles() { return ReadBytes(module + L".handles"); }

    // Both pictures under one class-id folder, each exactly as drawn.
    void ExpectPictures(const std::wstring& folder) {
        EXPECT_EQ(CompareWithPicture(folder + L"\\thumbnail.png", stripdeck_pictures::kThumbnail), "") << folder;
        EXPECT_EQ(CompareWithPicture(folder + L"\\standin.png", stripdeck_pictures::kStandIn), "") << folder;
    }

    GdiplusSession gdiplus;
    TestKey key;
    TempDir dir;
    std::wstring module;
};

TEST_F(BitmapScan, PicturesStoredUnderBothClassIdsAsDrawn) {
    std::wstring silent = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\Strip EQ.dll");
    std::wstring cache = dir.Make(L"cache");
    SetCacheRoot(cache);
    Scan();

    const std::wstring plug = ClassId(module, L"clsidPlug");
    const std::wstring plugMd5 = ClassId(module, L"clsidPlugMD5");
    ASSERT_EQ(plug.size(), 38u);
    ASSERT_EQ(plugMd5.size(), 38u);
    ASSERT_NE(plug, plugMd5);
    ExpectPictures(cache + L"\\" + plug);
    ExpectPictures(cache + L"\\" + plugMd5);
    for (const wchar_t* file : {L"\\thumbnail.png", L"\\standin.png"}) {
        std::string first = ReadBytes(cache + L"\\" + plug + file);
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(first, ReadBytes(cache + L"\\" + plugMd5 + file)) << "two identical files";
    }
    EXPECT_EQ(Handles(), "thumbnail deleted\nstandin deleted\n");

    // A module that hands out no pictures gets no folder.
    EXPECT_FALSE(IsFolder(cache + L"\\" + ClassId(silent, L"clsidPlug")));
    EXPECT_FALSE(IsFolder(cache + L"\\" + ClassId(silent, L"clsidPlugMD5")));
}

TEST_F(BitmapScan, CacheRootWithAnEnvironmentVariableAndMissingParents) {
    wchar_t temp[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, static_cast<DWORD>(MAX_PATH));
    std::wstring tempFolder(temp);
    if (tempFolder.back() == L'\\') tempFolder.pop_back();
    ASSERT_EQ(_wcsnicmp(dir.Path().c_str(), tempFolder.c_str(), tempFolder.size()), 0)
        << "scratch folders lie in %TEMP%";
    const std::wstring below = dir.Path().substr(tempFolder.size()) + L"\\not\\yet\\there";
    SetCacheRoot(L"%TEMP%" + below);
    Scan();

    const std::wstring cache = tempFolder + below;
    ExpectPictures(cache + L"\\" + ClassId(module, L"clsidPlug"));
    ExpectPictures(cache + L"\\" + ClassId(module, L"clsidPlugMD5"));
}

TEST_F(BitmapScan, NothingStoredWithoutACacheRoot) {
    // Where a path built from a missing root would end up: the drive's root
    // folder or the scanner's working folder.
    wchar_t working[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, working);
    auto strayed = [&](const std::wstring& id) {
        return IsFolder(L"\\" + id) || IsFolder(std::wstring(working) + L"\\" + id) || IsFolder(id);
    };

    Scan();  // no value at all
    const std::wstring plug = ClassId(module, L"clsidPlug");
    const std::wstring plugMd5 = ClassId(module, L"clsidPlugMD5");
    ASSERT_FALSE(plug.empty());
    EXPECT_FALSE(strayed(plug));
    EXPECT_FALSE(strayed(plugMd5));
    EXPECT_EQ(Handles(), "thumbnail deleted\nstandin deleted\n") << "received bitmaps are deleted all the same";

    SetCacheRoot(L"");
    Scan();
    EXPECT_FALSE(strayed(plug));
    EXPECT_FALSE(strayed(plugMd5));
    EXPECT_EQ(Handles(), "thumbnail deleted\nstandin deleted\nthumbnail deleted\nstandin deleted\n");
}

}  // namespace
