#include "vst2/BitmapCache.h"

#include <gdiplus.h>
#include <shlobj.h>
#include <strsafe.h>

#include <cstring>
#include <vector>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/RegistryValues.h"

namespace gdip = Gdiplus::DllExports;

namespace {

constexpr size_t kClsidChars = 127;

// GDI+ runs from the first picture stored to the end of the run: most scans
// store none and never start it.
ULONG_PTR g_gdiplusToken = 0;

bool StartGdiplus() {
    if (g_gdiplusToken) return true;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) == Gdiplus::Ok) return true;
    g_gdiplusToken = 0;
    return false;
}

// A GDI+ bitmap, disposed of when it goes out of scope.
class GdiplusBitmap {
public:
    GdiplusBitmap() = default;
    ~GdiplusBitmap() {
        if (bitmap_) gdip::GdipDisposeImage(bitmap_);
    }
    GdiplusBitmap(const GdiplusBitmap&) = delete;
    GdiplusBitmap& operator=(const GdiplusBitmap&) = delete;

    Gdiplus::GpBitmap** Put() { return &bitmap_; }
    Gdiplus::GpBitmap* Get() const { return bitmap_; }

private:
    Gdiplus::GpBitmap* bitmap_ = nullptr;
};

// The cache root with its environment variables expanded; false when the
// configuration key or the value is missing or the value is empty.
bool ReadCacheRoot(wchar_t* root, size_t chars) {
    RegKey key;
    if (key.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) != ERROR_SUCCESS) return false;
    wchar_t stored[kPathChars] = {};
    if (!ReadText(key.Get(), L"VSTBitmapCachePath", stored, kPathChars) || !stored[0]) return false;
    DWORD needed = ExpandEnvironmentStringsW(stored, root, static_cast<DWORD>(chars));
    return needed > 0 && needed <= chars && root[0];
}

bool EnsureFolder(const wchar_t* folder) {
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return SHCreateDirectoryExW(nullptr, folder, nullptr) == ERROR_SUCCESS;
}

// The first encoder GDI+ lists with the MIME type "image/png" exactly.
bool FindPngEncoder(CLSID* encoder) {
    UINT count = 0, bytes = 0;
    if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) return false;
    std::vector<unsigned char> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (gdip::GdipGetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

int StoreModuleBitmap(const GUID& clsid, HBITMAP bitmap, const wchar_t* fileName) {
    wchar_t path[kPathChars] = {};
    if (!ReadCacheRoot(path, kPathChars)) return 0;

    wchar_t id[kClsidChars + 1] = {};
    if (StringFromGUID2(clsid, id, ARRAYSIZE(id)) == 0) return 0;
    if (FAILED(StringCchCatW(path, kPathChars, L"\\")) || FAILED(StringCchCatW(path, kPathChars, id))) return 0;
    if (!EnsureFolder(path)) return 0;
    if (FAILED(StringCchCatW(path, kPathChars, L"\\")) || FAILED(StringCchCatW(path, kPathChars, fileName))) return 0;

    CLSID png{};
    if (!StartGdiplus() || !FindPngEncoder(&png)) return 0;
    GdiplusBitmap image;
    if (gdip::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, image.Put()) != Gdiplus::Ok) return 0;
    return gdip::GdipSaveImageToFile(image.Get(), path, &png, nullptr) == Gdiplus::Ok ? 1 : 0;
}

void StopBitmapStore() {
    if (g_gdiplusToken) Gdiplus::GdiplusShutdown(g_gdiplusToken);
    g_gdiplusToken = 0;
}
