// Storing one picture in the module bitmap cache: the folder of the class id
// and its parents are created, an older file of the same name is replaced,
// and without a usable cache root nothing is written.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "tests/e2e/bitmaps_png.h"
#include "vst2/BitmapCache.h"

using namespace sievo_test;
using namespace bitmaps_test;

namespace {

// {141AC902-4142-4344-4543-484F00000000}
constexpr GUID kId = {0x141AC902, 0x4142, 0x4344, {0x45, 0x43, 0x48, 0x4F, 0, 0, 0, 0}};
constexpr wchar_t kIdText[] = L"{141AC902-4142-4344-4543-484F00000000}";

class StoreBitmap : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdiplus.Started());
        g_ctx.registryRoot = HKEY_CURRENT_USER;
        wcscpy(g_ctx.configKeyPath, key.Path().c_str());
    }
    void SetCacheRoot(const std::wstring& root) {
        RegKey k;
        ASSERT_EQ(k.Open(HKEY_CURRENT_USER, key.Path().c_str(), KEY_SET_VALUE), ERROR_SUCCESS);
        RegSetValueExW(k.Get(), L"VSTBitmapCachePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(root.c_str()),
                       static_cast<DWORD>((root.size() + 1) * sizeof(wchar_t)));
    }
    // Stores a freshly drawn picture and deletes the handle, as the probe does.
    int Store(const stripdeck_pictures::Picture& picture, const wchar_t* name = L"thumbnail.png") {
        HBITMAP bitmap = stripdeck_pictures::Draw(picture);
        EXPECT_NE(bitmap, nullptr);
        int stored = StoreModuleBitmap(kId, bitmap, name);
        DeleteObject(bitmap);
        return stored;
    }

    GdiplusSession gdiplus;
    TestKey key;
    TempDir dir;
};

TEST_F(StoreBitmap, CreatesTheFolderWithItsParentsAndReplacesAnOlderFile) {
    const std::wstring cache = dir.Path() + L"\\a\\b\\cache";
    SetCacheRoot(cache);
    ASSERT_EQ(Store(stripdeck_pictures::kThumbnail), 1);
    EXPECT_EQ(CompareWithPicture(cache + L"\\" + kIdText + L"\\thumbnail.png", stripdeck_pictures::kThumbnail), "");

    // The same class id again (both ids of a record can be equal): the second
    // picture takes the file's place.
    ASSERT_EQ(Store(stripdeck_pictures::kStandIn), 1);
    EXPECT_EQ(CompareWithPicture(cache + L"\\" + kIdText + L"\\thumbnail.png", stripdeck_pictures::kStandIn), "");
}

TEST_F(StoreBitmap, NothingWithoutAUsableCacheRoot) {
    EXPECT_EQ(Store(stripdeck_pictures::kThumbnail), 0) << "no value";
    SetCacheRoot(L"");
    EXPECT_EQ(Store(stripdeck_pictures::kThumbnail), 0) << "empty value";
    // A file where the folder should be cannot become one.
    const std::wstring blocker = dir.Write(L"blocker", "a file");
    SetCacheRoot(blocker);
    EXPECT_EQ(Store(stripdeck_pictures::kThumbnail), 0);
    EXPECT_FALSE(IsFolder(blocker + L"\\" + kIdText));
    // A configuration key that does not exist.
    wcscpy(g_ctx.configKeyPath, (key.Path() + L"\\Missing").c_str());
    EXPECT_EQ(Store(stripdeck_pictures::kThumbnail), 0);
}

TEST_F(StoreBitmap, NoFileForAHandleThatIsNoBitmap) {
    SetCacheRoot(dir.Path());
    EXPECT_EQ(StoreModuleBitmap(kId, nullptr, L"thumbnail.png"), 0);
    EXPECT_EQ(GetFileAttributesW((dir.Path() + L"\\" + kIdText + L"\\thumbnail.png").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
