// SievoBenchFloor: the least work a scan of the same modules cannot avoid,
// for bench/scan_scaling.sh to set the scanner's times against.
//
//   SievoBenchFloor load LIST          loads each module, calls its entry point, lets it go
//   SievoBenchFloor open KEY LIST      opens each module's record key under HKCU\KEY\Inventory
//                                      and reads the module file's time and size
//
// LIST is a UTF-8 text file with one module path a line, as the scanner sees
// the path. Prints "modules <n> done <k> loop_ms <t>": k counts the modules
// for which every step succeeded, so the script can tell a floor that
// measured nothing from one that measured the scan's work.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/InventoryStore.h"
#include "vst2/Vst2Abi.h"
#include "vst2/Vst2Session.h"
#include "vst3/Vst3Api.h"

namespace {

using GetFactoryProc = Steinberg::IPluginFactory*(PLUGIN_API*)();

template <class F>
F ProcAddress(HMODULE module, const char* name) {
    // GetProcAddress answers a generic function pointer; the export's real
    // type is the caller's to know.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The host a bare loop can offer: no answer to anything. A shell asked for
// its current id with this callback creates its shell root, as in a scan.
intptr_t AnswerNothing(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    size_t n = wcslen(suffix);
    return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, suffix) == 0;
}

bool LoadVst3(HMODULE module) {
    auto getFactory = ProcAddress<GetFactoryProc>(module, "GetPluginFactory");
    if (!getFactory) return false;
    Steinberg::IPluginFactory* factory = getFactory();
    if (!factory) return false;
    factory->release();
    return true;
}

bool LoadVst2(HMODULE module) {
    auto entry = ProcAddress<Vst2EntryProc>(module, "VSTPluginMain");
    if (!entry) entry = ProcAddress<Vst2EntryProc>(module, "main");
    if (!entry) return false;
    AEffect* effect = entry(AnswerNothing);
    if (!effect || effect->magic != kEffectMagic || !effect->dispatcher) return false;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return true;
}

bool LoadOne(const std::wstring& path) {
    UniqueModule module(LoadLibraryW(path.c_str()));
    if (!module) return false;
    return EndsWith(path, L".vst3") ? LoadVst3(module.Get()) : LoadVst2(module.Get());
}

// What an unchanged module costs at the least: its record key opened, and the
// file's time and size read as the module-changed test reads them.
bool OpenOne(const std::wstring& inventoryKey, const std::wstring& path) {
    wchar_t name[kPathChars];
    MakeInventoryKeyName(path.c_str(), kPathChars, name);
    RegKey key;
    bool opened = key.Open(HKEY_CURRENT_USER, (inventoryKey + L"\\" + name).c_str(), KEY_READ) == ERROR_SUCCESS;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME lastWrite{};
    LARGE_INTEGER size{};
    bool statted =
        file.Valid() && GetFileTime(file.Get(), nullptr, nullptr, &lastWrite) && GetFileSizeEx(file.Get(), &size);
    return opened && statted;
}

std::wstring Widen(const std::string& utf8) {
    int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(chars > 0 ? chars : 0), L'\0');
    if (chars > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), wide.data(), chars);
    return wide;
}

std::vector<std::wstring> ReadList(const std::wstring& listPath) {
    std::vector<std::wstring> paths;
    std::ifstream in(listPath.c_str());
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) paths.push_back(Widen(line));
    }
    return paths;
}

int Usage() {
    std::fputs("usage: SievoBenchFloor load LIST | SievoBenchFloor open CONFIG_KEY LIST\n", stderr);
    return 2;
}

}  // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return Usage();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);

    bool load = args.size() == 2 && args[0] == L"load";
    bool open = args.size() == 3 && args[0] == L"open";
    if (!load && !open) return Usage();
    std::vector<std::wstring> paths = ReadList(args.back());
    std::wstring inventoryKey = open ? args[1] + L"\\Inventory" : std::wstring();

    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    size_t done = 0;
    for (const std::wstring& path : paths) done += (load ? LoadOne(path) : OpenOne(inventoryKey, path)) ? 1 : 0;
    QueryPerformanceCounter(&end);

    double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("modules %u done %u loop_ms %.1f\n", static_cast<unsigned>(paths.size()), static_cast<unsigned>(done),
                ms);
    return 0;
}
