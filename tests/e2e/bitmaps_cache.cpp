// The pictures of the host's channel-strip modules: a full scan stores each
// picture a module hands over as PNG under the cache root, once per class id
// of the module's record, and deletes the bitmaps it received.
#include <windows.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "tests/plugins/vst2/StripdeckPictures.h"

using namespace sievo_test;
namespace pictures = stripdeck_pictures;

namespace {

// Empty when the file decodes to exactly the picture; else what differs first.
std::string CompareWithPicture(const std::wstring& path, const pictures::Picture& picture) {
    namespace gdip = Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok || !bitmap) return "does not decode";
    UINT width = 0, height = 0;
    gdip::GdipGetImageWidth(bitmap, &width);
    gdip::GdipGetImageHeight(bitmap, &height);
    std::string difference;
    if (static_cast<int>(width) != picture.width || static_cast<int>(height) != picture.height)
        difference = "size " + std::to_string(width) + "x" + std::to_string(height);
    for (int i = 0; difference.empty() && i < picture.width * picture.height; ++i) {
        const int x = i % picture.width, y = i / picture.width;
        Gdiplus::ARGB argb = 0;
        gdip::GdipBitmapGetPixel(bitmap, x, y, &argb);
        if ((argb & 0xFFFFFF) != pictures::PixelColour(picture, x, y))
            difference = "pixel " + std::to_string(x) + "," + std::to_string(y);
    }
    gdip::GdipDisposeImage(bitmap);
    return difference;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class BitmapScan : public ::testing::Test {
protected:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr), Gdiplus::Ok);
        key.AddScanPath(dir.Make(L"plugins"));
        key.SetDword(L"rescanExisting", 1);
        module = dir.Copy(PluginPath(L"stripdeck_bitmaps"), L"plugins\\Strip Pictures.dll");
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(gdiplus); }

    void ScanWithCacheRoot(const std::wstring* root) {
        if (root) key.SetText(L"VSTBitmapCachePath", *root);
        ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    }
    std::wstring ClassId(const std::wstring& moduleCopy, const wchar_t* name) {
        return key.Text(name, TestKey::Record(moduleCopy).c_str());
    }
    // What the module noted about the bitmaps it handed out, once closed.
    std::string Handles() {
        std::ostringstream text;
        text << std::ifstream(Narrow(module + L".handles")).rdbuf();
        return text.str();
    }
    // Both pictures under both class-id folders, each exactly as drawn.
    void ExpectPictures(const std::wstring& cache) {
        for (const wchar_t* id : {L"clsidPlug", L"clsidPlugMD5"}) {
            const std::wstring folder = cache + L"\\" + ClassId(module, id);
            EXPECT_EQ(CompareWithPicture(folder + L"\\thumbnail.png", pictures::kThumbnail), "") << Narrow(folder);
            EXPECT_EQ(CompareWithPicture(folder + L"\\standin.png", pictures::kStandIn), "") << Narrow(folder);
        }
    }

    ULONG_PTR gdiplus = 0;
    TestKey key;
    TempDir dir;
    std::wstring module;
};

TEST_F(BitmapScan, PicturesStoredUnderBothClassIdsAsDrawn) {
    std::wstring silent = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\Strip EQ.dll");
    std::wstring cache = dir.Make(L"cache");
    ScanWithCacheRoot(&cache);
    ASSERT_EQ(ClassId(module, L"clsidPlug").size(), 38u);
    ASSERT_NE(ClassId(module, L"clsidPlug"), ClassId(module, L"clsidPlugMD5"));
    ExpectPictures(cache);
    EXPECT_EQ(Handles(), "thumbnail deleted\nstandin deleted\n");
    // A module that hands out no pictures gets no folder.
    EXPECT_FALSE(IsFolder(cache + L"\\" + ClassId(silent, L"clsidPlug")));
    EXPECT_FALSE(IsFolder(cache + L"\\" + ClassId(silent, L"clsidPlugMD5")));
}

// Without a root (no value, an empty one) nothing is stored where a path
// built from it would end up, and received bitmaps are deleted all the
// same; a root with a variable and missing parents is expanded and made.
TEST_F(BitmapScan, CacheRootMissingEmptyOrWithAVariable) {
    wchar_t working[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, working);
    const std::wstring empty;
    for (const std::wstring* root : {static_cast<const std::wstring*>(nullptr), &empty}) {
        ScanWithCacheRoot(root);
        for (const wchar_t* name : {L"clsidPlug", L"clsidPlugMD5"}) {
            const std::wstring id = ClassId(module, name);
            ASSERT_FALSE(id.empty());
            EXPECT_FALSE(IsFolder(L"\\" + id) || IsFolder(std::wstring(working) + L"\\" + id) || IsFolder(id));
        }
    }
    EXPECT_EQ(Handles(), "thumbnail deleted\nstandin deleted\nthumbnail deleted\nstandin deleted\n");

    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
    std::wstring tempFolder(temp);
    if (tempFolder.back() == L'\\') tempFolder.pop_back();
    ASSERT_EQ(_wcsnicmp(dir.Path().c_str(), tempFolder.c_str(), tempFolder.size()), 0) << "scratch lies in %TEMP%";
    const std::wstring below = dir.Path().substr(tempFolder.size()) + L"\\not\\yet\\there";
    const std::wstring root = L"%TEMP%" + below;
    ScanWithCacheRoot(&root);
    ExpectPictures(tempFolder + below);
}

}  // namespace
