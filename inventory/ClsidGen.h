// Class identifiers of VST 2 plug-ins, derived from the unique id and the
// module's short and long file names.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/InventoryRecord.h"

// Prefixes that tell the plug-in class ids from the property-page ones.
constexpr wchar_t kPluginClsidPrefix[] = L"141AC902";
constexpr wchar_t kPropsClsidPrefix[] = L"141AC903";

// Fills clsidPlug, clsidProps, clsidPlugMD5 and clsidPropsMD5; a shell root
// keeps whatever ids it has.
void GenerateVSTClsid(InventoryRecord* record);

// The text form: "{<prefix>-" + the id's eight hex digits split 4-4, then the
// first eight code units of the short name, two hex digits each.
void FormatVSTClsidText(const wchar_t* prefix, int32_t uniqueId, const wchar_t* dosName, wchar_t* out, size_t chars);

// The block the hashed form digests: prefix (UTF-16LE), the id
// (little-endian) and the module's file name without folder and extension
// (UTF-16LE), no terminators. False when it cannot be allocated.
bool MakeClsidHashBlock(const wchar_t* prefix, int32_t uniqueId, const wchar_t* fullPath, std::vector<BYTE>* block);

// The hashed form: MD5 of prefix (UTF-16LE), the id (little-endian) and the
// module's file name without folder and extension (UTF-16LE). S_OK, E_POINTER
// for a null output, E_FAIL when the block or the digest cannot be made.
HRESULT MakeMD5Clsid(const wchar_t* prefix, int32_t uniqueId, const wchar_t* fullPath, GUID* out);
