#include "core/ScanContext.h"

ScanContext g_ctx;

std::wstring ConfigSubkey(const wchar_t* sub) {
    std::wstring path = g_ctx.configKeyPath;
    path += L'\\';
    path += sub;
    return path;
}
