// SievoInventory: shows what the inventory of a configuration key holds,
// without a registry editor. It reads the records with the scanner's own
// record code, so it shows exactly what the host would read.
//
//   SievoInventory [/VSTRegPerUser] [/VSTRegKey:"Software\..."] [/Format:table|json|csv] [/Metrics] [--bad]
//
// A shell's plug-ins are listed right under their shell; a module that is
// not a plug-in shows its file name; --bad lists only the modules a scan
// skips as known bad, with their paths.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/InventoryStore.h"
#include "inventory/RegistryValues.h"

namespace {

enum class Format { Table, Json, Csv };

struct Options {
    Format format = Format::Table;
    bool metrics = false;
    bool badOnly = false;
};

void Out(const std::wstring& text) {
    int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void Fail(const std::wstring& message) {
    std::wstring line = L"SievoInventory: " + message + L"\n";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), utf8.data(), static_cast<DWORD>(bytes - 1), &written, nullptr);
}

const wchar_t* Kind(const InventoryRecord& r) {
    if (r.isShellRoot) return L"shell";
    if (r.isInternal) return L"internal";
    if (r.isVst3) return L"VST3";
    if (r.isVst) return L"VST2";
    // A crash before the module said what it is leaves a bad record with no kind.
    return r.isBad ? L"unknown" : L"not a plug-in";
}

// A record and the module path its key stands for: a record written only as
// a crash marker has no FullPath, but its key name is the path.
struct Entry {
    InventoryRecord record;
    std::wstring path;
};

std::vector<Entry> LoadEntries() {
    std::vector<Entry> entries;
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) != ERROR_SUCCESS)
        return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[520];
        DWORD chars = 520;
        if (RegEnumKeyExW(inventory.Get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        RegKey key;
        if (key.Open(inventory.Get(), name, KEY_READ) != ERROR_SUCCESS) continue;
        // A key without values is no record: inventories written before shell
        // member keys had "/" for a backslash hold one on the way to such a member.
        DWORD values = 0;
        RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        if (values == 0) continue;
        Entry e;
        ReadVstData(key.Get(), e.record, 0);
        e.path = e.record.FullPath;
        if (e.path.empty()) {
            e.path = name;
            e.path = e.path.substr(0, e.path.find(L'*'));  // a shell plug-in's key adds "*<id> <name>"
            for (wchar_t& c : e.path)
                if (c == L'/') c = L'\\';
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

std::wstring FileName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DisplayName(const Entry& e) {
    return e.record.FullName[0] ? std::wstring(e.record.FullName) : FileName(e.path);
}

bool IsShellMember(const InventoryRecord& r) {
    return r.isShell && !r.isShellRoot;
}

// Each shell followed by its plug-ins; plug-ins whose shell has no record of
// its own keep their place.
std::vector<const Entry*> ShellOrder(const std::vector<Entry>& entries) {
    std::vector<const Entry*> order;
    std::vector<bool> placed(entries.size(), false);
    auto sameModule = [](const Entry& a, const Entry& b) { return _wcsicmp(a.path.c_str(), b.path.c_str()) == 0; };
    for (size_t i = 0; i < entries.size(); ++i) {
        if (placed[i]) continue;
        const Entry& e = entries[i];
        if (IsShellMember(e.record)) {
            bool hasRoot = false;
            for (const Entry& o : entries) hasRoot |= o.record.isShellRoot && sameModule(o, e);
            if (hasRoot) continue;
        }
        order.push_back(&e);
        placed[i] = true;
        if (!e.record.isShellRoot) continue;
        for (size_t j = 0; j < entries.size(); ++j)
            if (!placed[j] && IsShellMember(entries[j].record) && sameModule(entries[j], e)) {
                order.push_back(&entries[j]);
                placed[j] = true;
            }
    }
    return order;
}

std::wstring Clsid(const GUID& id) {
    if (IsEqualGUID(id, GUID{})) return L"";
    wchar_t text[40] = {};
    StringFromGUID2(id, text, 40);
    return text;
}

std::wstring JsonString(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            wchar_t esc[8];
            swprintf(esc, 8, L"\\u%04x", c);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring CsvField(const std::wstring& s) {
    if (s.find_first_of(L",\"\r\n") == std::wstring::npos) return s;
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'"') out += L'"';
        out += c;
    }
    return out + L"\"";
}

constexpr int kColumns = 8;
struct Row {
    std::wstring cells[kColumns];
};

constexpr const wchar_t* kHeaders[kColumns] = {L"Name",  L"Vendor", L"Type",     L"Ins/Outs",
                                               L"Synth", L"Bad",    L"Class id", L"Path"};
constexpr const wchar_t* kJsonNames[kColumns] = {L"name",  L"vendor", L"type",  L"insOuts",
                                                 L"synth", L"bad",    L"clsid", L"path"};

// The table indents a shell's plug-ins under it and spells out a known-bad
// module; the machine formats keep plain values and name the shell instead.
Row MakeRow(const Entry& e, bool table) {
    const InventoryRecord& r = e.record;
    Row row;
    row.cells[0] = (table && IsShellMember(r) ? L"  " : L"") + DisplayName(e);
    row.cells[1] = r.Vendor;
    row.cells[2] = Kind(r);
    if (IsShellMember(r)) row.cells[2] += L" in shell";
    row.cells[3] = std::to_wstring(r.numInputs) + L"/" + std::to_wstring(r.numOutputs);
    row.cells[4] = r.isSynth ? L"yes" : L"no";
    row.cells[5] = r.isBad ? (table ? L"KNOWN BAD" : L"yes") : L"no";
    row.cells[6] = Clsid(r.clsidPlug);
    row.cells[7] = e.path;
    return row;
}

void PrintTable(const wchar_t* const* headerNames, int columns, const std::vector<Row>& rows) {
    size_t width[kColumns];
    for (int c = 0; c < columns; ++c) width[c] = wcslen(headerNames[c]);
    for (const Row& row : rows)
        for (int c = 0; c < columns; ++c) width[c] = std::max(width[c], row.cells[c].size());
    auto line = [&](const std::wstring* cells) {
        std::wstring text;
        for (int c = 0; c < columns; ++c) {
            text += cells[c];
            if (c < columns - 1) text += std::wstring(width[c] - cells[c].size() + 2, L' ');
        }
        while (!text.empty() && text.back() == L' ') text.pop_back();
        Out(text + L"\n");
    };
    std::wstring headers[kColumns];
    for (int c = 0; c < columns; ++c) headers[c] = headerNames[c];
    line(headers);
    for (const Row& row : rows) line(row.cells);
}

// Only what a scan skips, and why, with where it lies.
void PrintBad(const std::vector<const Entry*>& order) {
    std::vector<Row> rows;
    for (const Entry* e : order) {
        if (!e->record.isBad) continue;
        Row row;
        row.cells[0] = DisplayName(*e);
        row.cells[1] = Kind(e->record);
        row.cells[2] = e->path;
        rows.push_back(row);
    }
    if (rows.empty()) {
        Out(L"No known-bad modules.\n");
        return;
    }
    const wchar_t* headers[] = {L"Name", L"Type", L"Path"};
    PrintTable(headers, 3, rows);
    Out(std::to_wstring(rows.size()) +
        L" known-bad modules: a module that crashed or hung the scanner while it was examined is skipped by every "
        L"later scan, until \"rescanFailed\" is set (Re-scan failed plug-ins in the scan paths dialog).\n");
}

struct Metrics {
    DWORD found = 0, scanned = 0, deleted = 0;
    bool hasTime = false;
    SYSTEMTIME time{};
};

Metrics ReadMetrics() {
    Metrics m;
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) != ERROR_SUCCESS) return m;
    ReadDword(inventory.Get(), L"PluginsFound", &m.found);
    ReadDword(inventory.Get(), L"PluginsScanned", &m.scanned);
    ReadDword(inventory.Get(), L"PluginsDeleted", &m.deleted);
    FILETIME stamp{};
    if (ReadExact(inventory.Get(), L"lastUpdateTime", &stamp, sizeof stamp))
        m.hasTime = FileTimeToSystemTime(&stamp, &m.time) != FALSE;  // stored as local time
    return m;
}

std::wstring TimeText(const Metrics& m) {
    if (!m.hasTime) return L"";
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", m.time.wYear, m.time.wMonth, m.time.wDay, m.time.wHour,
             m.time.wMinute, m.time.wSecond);
    return text;
}

bool ParseOptions(Options& options) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool ok = true;
    for (int i = 1; argv && i < argc; ++i) {
        std::wstring arg = argv[i];
        if (_wcsicmp(arg.c_str(), L"/VSTRegPerUser") == 0) {
            g_ctx.registryRoot = HKEY_CURRENT_USER;
        } else if (_wcsnicmp(arg.c_str(), L"/VSTRegKey:", 11) == 0) {
            std::wstring keyPath = arg.substr(11);
            if (keyPath.empty() || keyPath.size() >= kPathChars) {
                Fail(L"the key path must have 1 to 259 characters");
                ok = false;
            } else {
                wcscpy(g_ctx.configKeyPath, keyPath.c_str());
            }
        } else if (_wcsicmp(arg.c_str(), L"/Format:json") == 0) {
            options.format = Format::Json;
        } else if (_wcsicmp(arg.c_str(), L"/Format:csv") == 0) {
            options.format = Format::Csv;
        } else if (_wcsicmp(arg.c_str(), L"/Format:table") == 0) {
            options.format = Format::Table;
        } else if (_wcsicmp(arg.c_str(), L"/Metrics") == 0) {
            options.metrics = true;
        } else if (_wcsicmp(arg.c_str(), L"--bad") == 0 || _wcsicmp(arg.c_str(), L"/Bad") == 0) {
            options.badOnly = true;
        } else {
            Fail(L"unknown argument " + arg +
                 L"\nusage: SievoInventory [/VSTRegPerUser] [/VSTRegKey:<key>] [/Format:table|json|csv] [/Metrics] "
                 L"[--bad]");
            ok = false;
        }
    }
    if (argv) LocalFree(argv);
    return ok;
}

}  // namespace

int main() {
    wcscpy(g_ctx.configKeyPath, kDefaultConfigKey);
    Options options;
    if (!ParseOptions(options)) return 2;

    const wchar_t* rootName = g_ctx.registryRoot == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE";
    RegKey config;
    if (config.Open(g_ctx.registryRoot, g_ctx.configKeyPath, KEY_READ) != ERROR_SUCCESS) {
        Fail(std::wstring(L"no configuration key ") + rootName + L"\\" + g_ctx.configKeyPath);
        return 1;
    }

    const std::vector<Entry> entries = LoadEntries();
    const std::vector<const Entry*> order = ShellOrder(entries);
    if (options.badOnly) {
        PrintBad(order);
        return 0;
    }
    std::vector<Row> rows;
    for (const Entry* e : order) rows.push_back(MakeRow(*e, options.format == Format::Table));
    Metrics m = ReadMetrics();

    switch (options.format) {
        case Format::Table:
            // The path is in the other formats and in --bad; here it would make every line wrap.
            PrintTable(kHeaders, kColumns - 1, rows);
            Out(std::to_wstring(rows.size()) + L" records\n");
            if (options.metrics)
                Out(L"Last scan: " + std::to_wstring(m.found) + L" found, " + std::to_wstring(m.scanned) +
                    L" scanned, " + std::to_wstring(m.deleted) + L" removed" +
                    (m.hasTime ? L"; inventory changed " + TimeText(m) : L"") + L"\n");
            break;
        case Format::Csv: {
            std::wstring header;
            for (int c = 0; c < kColumns; ++c) header += (c ? L"," : L"") + std::wstring(kHeaders[c]);
            Out(header + L"\n");
            for (const Row& row : rows) {
                std::wstring line;
                for (int c = 0; c < kColumns; ++c) line += (c ? L"," : L"") + CsvField(row.cells[c]);
                Out(line + L"\n");
            }
            break;
        }
        case Format::Json: {
            Out(L"{\n  \"plugins\": [");
            for (size_t i = 0; i < rows.size(); ++i) {
                std::wstring item = i ? L",\n    {" : L"\n    {";
                for (int c = 0; c < kColumns; ++c)
                    item += (c ? L", " : L"") + JsonString(kJsonNames[c]) + L": " + JsonString(rows[i].cells[c]);
                Out(item + L"}");
            }
            Out(rows.empty() ? L"]" : L"\n  ]");
            if (options.metrics)
                Out(L",\n  \"metrics\": {\"pluginsFound\": " + std::to_wstring(m.found) + L", \"pluginsScanned\": " +
                    std::to_wstring(m.scanned) + L", \"pluginsDeleted\": " + std::to_wstring(m.deleted) +
                    L", \"lastUpdateTime\": " + JsonString(TimeText(m)) + L"}");
            Out(L"\n}\n");
            break;
        }
    }
    return 0;
}
