// The pictures a channel-strip test module draws for the bitmap cache: a
// thumbnail and a stand-in picture, each a fixed size with a known colour
// per pixel, so a test can compare the stored PNG with what was drawn.
#pragma once

#include <windows.h>

#include <cstdint>

namespace stripdeck_pictures {

struct Picture {
    int width;
    int height;
    uint32_t seed;
};

constexpr Picture kThumbnail{40, 30, 1};
constexpr Picture kStandIn{24, 16, 2};

// The colour of pixel (x, y), top row first, as 0xRRGGBB.
inline uint32_t PixelColour(const Picture& p, int x, int y) {
    const uint32_t r = (static_cast<uint32_t>(x) * 6 + p.seed * 40) & 0xFF;
    const uint32_t g = (static_cast<uint32_t>(y) * 8 + p.seed * 90) & 0xFF;
    const uint32_t b = (static_cast<uint32_t>(x ^ y) * 5 + p.seed * 17) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

// A 32-bit top-down DIB section holding the picture; the receiver deletes it.
inline HBITMAP Draw(const Picture& p) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), p.width, -p.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bitmap;
    uint32_t* pixels = static_cast<uint32_t*>(bits);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) pixels[y * p.width + x] = PixelColour(p, x, y);
    GdiFlush();
    return bitmap;
}

}  // namespace stripdeck_pictures
