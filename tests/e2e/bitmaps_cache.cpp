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

// The root may hold a variable and name folders that do not exist yet.
TEST(BitmapScan, PicturesStoredUnderBothClassIdsAsDrawn) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    const std::wstring module = dir.Copy(PluginPath(L"stripdeck_bitmaps"), L"plugins\\Strip Pictures.dll");
    const std::wstring silent = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\Strip EQ.dll");
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
    std::wstring tempFolder(temp);
    if (tempFolder.back() == L'\\') tempFolder.pop_back();
    ASSERT_EQ(_wcsnicmp(dir.Path().c_str(), tempFolder.c_str(), tempFolder.size()), 0) << "scratch lies in %TEMP%";
    const std::wstring below = dir.Path().substr(tempFolder.size()) + L"\\not\\yet\\there";
    key.SetText(L"VSTBitmapCachePath", L"%TEMP%" + below);
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);

    auto folder = [&](const std::wstring& copy, const wchar_t* id) {
        return tempFolder + below + L"\\" + key.Text(id, TestKey::Record(copy).c_str());
    };
    ASSERT_EQ(key.Text(L"clsidPlug", TestKey::Record(module).c_str()).size(), 38u);
    ASSERT_NE(folder(module, L"clsidPlug"), folder(module, L"clsidPlugMD5"));
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr), Gdiplus::Ok);
    for (const wchar_t* id : {L"clsidPlug", L"clsidPlugMD5"}) {
        EXPECT_EQ(CompareWithPicture(folder(module, id) + L"\\thumbnail.png", pictures::kThumbnail), "") << id;
        EXPECT_EQ(CompareWithPicture(folder(module, id) + L"\\standin.png", pictures::kStandIn), "") << id;
        EXPECT_EQ(GetFileAttributesW(folder(silent, id).c_str()), INVALID_FILE_ATTRIBUTES)
            << "a module that hands out no pictures gets no folder";
    }
    Gdiplus::GdiplusShutdown(gdiplus);
    // What the module noted about the bitmaps it handed out, once closed.
    std::ostringstream handles;
    handles << std::ifstream(Narrow(module + L".handles")).rdbuf();
    EXPECT_EQ(handles.str(), "thumbnail deleted\nstandin deleted\n");
}

}  // namespace
