// The picture cache of the host's own channel-strip modules: each picture a
// module hands over is stored as a PNG under a folder named after a class id.
#pragma once

#include <windows.h>

constexpr wchar_t kThumbnailFile[] = L"thumbnail.png";
constexpr wchar_t kStandInFile[] = L"standin.png";

// Stores `bitmap` as <cache root>\<class id>\<fileName>; 1 when written.
// Not built yet: nothing is stored and the answer is 0 (the probe ignores it).
int StoreModuleBitmap(const GUID& clsid, HBITMAP bitmap, const wchar_t* fileName);
