// Reading back the PNG files of the module bitmap cache with GDI+ and
// comparing them with the pictures the channel-strip test module drew.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <string>

#include "tests/plugins/vst2/StripdeckPictures.h"

namespace bitmaps_test {

// GDI+ for the life of a test.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
    }
    ~GdiplusSession() {
        if (token_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// Empty when the file decodes to exactly the picture; else what differs first.
inline std::string CompareWithPicture(const std::wstring& path, const stripdeck_pictures::Picture& picture) {
    namespace gdip = Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok || !bitmap) return "does not decode";
    std::string difference;
    UINT width = 0, height = 0;
    gdip::GdipGetImageWidth(bitmap, &width);
    gdip::GdipGetImageHeight(bitmap, &height);
    if (static_cast<int>(width) != picture.width || static_cast<int>(height) != picture.height) {
        difference = "size " + std::to_string(width) + "x" + std::to_string(height);
    } else {
        for (int y = 0; y < picture.height && difference.empty(); ++y) {
            for (int x = 0; x < picture.width && difference.empty(); ++x) {
                Gdiplus::ARGB argb = 0;
                gdip::GdipBitmapGetPixel(bitmap, x, y, &argb);
                const uint32_t expected = stripdeck_pictures::PixelColour(picture, x, y);
                if ((argb & 0xFFFFFF) != expected)
                    difference = "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " +
                                 std::to_string(argb & 0xFFFFFF) + ", drawn " + std::to_string(expected);
            }
        }
    }
    gdip::GdipDisposeImage(bitmap);
    return difference;
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

inline bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace bitmaps_test
