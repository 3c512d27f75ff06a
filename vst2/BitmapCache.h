// The picture cache of the host's own channel-strip modules: each picture a
// module hands over is stored as a PNG file in a folder named after a class
// id, under the cache root the host names in "VSTBitmapCachePath".
#pragma once

#include <windows.h>

constexpr wchar_t kThumbnailFile[] = L"thumbnail.png";
constexpr wchar_t kStandInFile[] = L"standin.png";

// Stores `bitmap` as <cache root>\<class id>\<fileName>, creating the folder
// and its missing parents and replacing an older file; 1 when written, else 0.
// Nothing is stored without a cache root. The bitmap stays the caller's.
// The first picture stored starts GDI+.
int StoreModuleBitmap(const GUID& clsid, HBITMAP bitmap, const wchar_t* fileName);

// Ends GDI+ if a picture was stored; at the end of the run.
void StopBitmapStore();
