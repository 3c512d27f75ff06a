#include "inventory/ClsidGen.h"

#include <objbase.h>
#include <strsafe.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "diag/ScanLog.h"
#include "inventory/Crypt.h"

namespace {

constexpr size_t kClsidTextChars = 64;
constexpr size_t kDosNameUnits = 8;

// The file name of a path without its folder and extension, as the C
// runtime's path split gives it: the folder ends at the last '\', '/' or ':',
// the extension starts at the last '.' of what remains.
void FileStem(const wchar_t* path, const wchar_t** begin, size_t* length) {
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
    const wchar_t* end = name + wcslen(name);
    if (const wchar_t* dot = wcsrchr(name, L'.')) end = dot;
    *begin = name;
    *length = static_cast<size_t>(end - name);
}

void MakeTextClsid(const wchar_t* prefix, const InventoryRecord& record, GUID* out, const wchar_t* failure) {
    wchar_t text[kClsidTextChars];
    FormatVSTClsidText(prefix, record.uniqueId, record.DosName, text, kClsidTextChars);
    if (FAILED(CLSIDFromString(text, out))) WriteLog(failure);
}

}  // namespace

void FormatVSTClsidText(const wchar_t* prefix, int32_t uniqueId, const wchar_t* dosName, wchar_t* out, size_t chars) {
    wchar_t id[16];
    StringCchPrintfW(id, 16, L"%08X", static_cast<uint32_t>(uniqueId));
    // Positions past the end of a short name count as zero.
    unsigned units[kDosNameUnits] = {};
    for (size_t i = 0; i < kDosNameUnits && dosName && dosName[i]; ++i) units[i] = dosName[i];
    StringCchPrintfW(out, chars, L"{%s-%.4s-%.4s-%02X%02X-%02X%02X%02X%02X%02X%02X}", prefix, id, id + 4, units[0],
                     units[1], units[2], units[3], units[4], units[5], units[6], units[7]);
}

bool MakeClsidHashBlock(const wchar_t* prefix, int32_t uniqueId, const wchar_t* fullPath, std::vector<BYTE>* block) {
    const wchar_t* name = L"";
    size_t nameUnits = 0;
    if (fullPath) FileStem(fullPath, &name, &nameUnits);
    const size_t prefixUnits = wcslen(prefix);
    try {
        block->assign(2 * (prefixUnits + nameUnits) + sizeof(int32_t), 0);
    } catch (...) {
        return false;
    }
    BYTE* at = block->data();
    for (size_t i = 0; i < prefixUnits; ++i, at += 2) {
        at[0] = static_cast<BYTE>(prefix[i] & 0xFF);
        at[1] = static_cast<BYTE>(prefix[i] >> 8);
    }
    const uint32_t id = static_cast<uint32_t>(uniqueId);
    for (int i = 0; i < 4; ++i) *at++ = static_cast<BYTE>(id >> (8 * i));
    for (size_t i = 0; i < nameUnits; ++i, at += 2) {
        at[0] = static_cast<BYTE>(name[i] & 0xFF);
        at[1] = static_cast<BYTE>(name[i] >> 8);
    }
    return true;
}

HRESULT MakeMD5Clsid(const wchar_t* prefix, int32_t uniqueId, const wchar_t* fullPath, GUID* out) {
    if (!out) return E_POINTER;
    std::vector<BYTE> block;
    if (!MakeClsidHashBlock(prefix, uniqueId, fullPath, &block)) return E_FAIL;

    CCrypt crypt(0);
    BYTE digest[16];
    if (!crypt.Ready()) return E_FAIL;  // the id keeps its value
    if (!crypt.Hash(block.data(), static_cast<DWORD>(block.size()), digest)) {
        ZeroMemory(out, sizeof(GUID));
        return E_FAIL;
    }
    // The digest bytes in order are the id's bytes in memory (GUID fields little-endian).
    static_assert(sizeof(GUID) == 16, "GUID layout");
    memcpy(out, digest, sizeof(GUID));
    return S_OK;
}

void GenerateVSTClsid(InventoryRecord* record) {
    if (!record || record->isShellRoot) return;
    MakeTextClsid(kPluginClsidPrefix, *record, &record->clsidPlug,
                  L"GenerateVSTClsid failed to generate plugin clsid!\r\n");
    MakeTextClsid(kPropsClsidPrefix, *record, &record->clsidProps,
                  L"GenerateVSTClsid failed to generate plugin property page clsid!\r\n");
    MakeMD5Clsid(kPluginClsidPrefix, record->uniqueId, record->FullPath, &record->clsidPlugMD5);
    MakeMD5Clsid(kPropsClsidPrefix, record->uniqueId, record->FullPath, &record->clsidPropsMD5);
}
