#include "app/AnalysisLoop.h"

#include <strsafe.h>

#include <map>
#include <string>

#include "app/Completion.h"
#include "app/MarkRecheck.h"
#include "app/ProbeGuard.h"
#include "app/SandboxWorkers.h"
#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/Win32Owners.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "diag/ScanLog.h"
#include "inventory/CrashMark.h"
#include "inventory/GuiVisible.h"
#include "inventory/InventoryStore.h"
#include "inventory/ModuleStats.h"
#include "inventory/RegistryValues.h"
#include "inventory/TouchLedger.h"
#include "inventory/TouchSweep.h"
#include "notify/HostNotify.h"
#include "ui/ProgressWindow.h"

namespace {

// Sub-plug-in keys "<owner>*<id> <name>" as they stand in the current user's
// inventory, so that a sub-plug-in its shell now reports under another name
// loses its old key.
struct ShellSubKeys {
    bool built = false;
    std::multimap<std::wstring, std::pair<int32_t, std::wstring>> byOwner;

    void Build() {
        built = true;
        RegKey inventory;
        if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) != ERROR_SUCCESS) return;
        for (const std::wstring& name : SubkeyNames(inventory.Get())) {
            size_t star = name.find(L'*');
            if (star == std::wstring::npos) continue;
            wchar_t* end = nullptr;
            long id = wcstol(name.c_str() + star + 1, &end, 10);
            if (end == name.c_str() + star + 1 || *end != L' ') continue;  // no number: not one of ours
            byOwner.emplace(name.substr(0, star), std::make_pair(static_cast<int32_t>(id), std::wstring(end + 1)));
        }
    }

    // Deletes the old key of a renamed sub-plug-in.
    void Apply(const std::wstring& ownerKeyName, const InventoryRecord& sub) const {
        auto range = byOwner.equal_range(ownerKeyName);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second.first != sub.uniqueId) continue;
            std::wstring old = MakeSubRecordKeyName(ownerKeyName, it->second.first, it->second.second.c_str());
            if (old != MakeSubRecordKeyName(ownerKeyName, sub.uniqueId, sub.FullName))
                RegDeleteTreeW(HKEY_CURRENT_USER, (ConfigSubkey(L"Inventory") + L"\\" + old).c_str());
            break;
        }
    }
};

const wchar_t* FileNameOf(const wchar_t* path) {
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

bool IsPlugin(const InventoryRecord& r) {
    return r.isVst || r.isVst3 || r.isInternal;
}

void SetStatusGuarded(HWND progress, const wchar_t* text) {
    if (!progress) return;
    if (!RunGuarded([&] { SetProgressText(progress, text); })) LogExceptionLine();
}

void LoadSystemLibrariesOnce() {
    // Plug-ins expect these already in the process, as they are in the host.
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    LoadLibraryW(L"msvcrt.dll");
    LoadLibraryW(L"dciman32.dll");
    LoadLibraryW(L"msvfw32.dll");
}

// The 8.3 file name without extension; logs the short path, or the failure
// that makes the loop skip the module.
bool FindShortName(const wchar_t* path, wchar_t (&shortName)[9]) {
    wchar_t shortPath[520] = {};
    DWORD shortLength = GetShortPathNameW(path, shortPath, 520);
    if (shortLength == 0 || shortLength >= 520 || !shortPath[0]) {
        WriteLog(L"%s: GetShortPathName failed(%d)! Skipping plugin.\r\n", kTag, static_cast<int>(GetLastError()));
        return false;
    }
    WriteLog(L"%s: [ShortPath] %s\r\n", kTag, shortPath);
    std::wstring stem = FileNameOf(shortPath);
    size_t dot = stem.rfind(L'.');
    if (dot != std::wstring::npos) stem.resize(dot);
    StringCchCopyW(shortName, 9, stem.c_str());
    return true;
}

struct LoopState {
    HWND progress = nullptr;
    DWORD internalCount = 0;
    bool probed = false;
};

// Once for the process: a sandbox worker keeps it from one module to the
// next, as nothing but the probe of a shell changes that shell's keys.
ShellSubKeys g_shellSubKeys;

void AnalyseOne(const std::wstring& candidate, size_t index, std::vector<InventoryRecord>& inventory, LoopState& s) {
    SetStatusGuarded(s.progress, candidate.c_str());
    WriteLog(L"%s: ---- %d: %s ----\r\n", kTag, static_cast<int>(index + 1), candidate.c_str());

    wchar_t keyName[kPathChars];
    if (MakeInventoryKeyName(candidate.c_str(), kPathChars, keyName))
        WriteLog(L"%s: Path too long for a registry key name, record key shortened to %s\r\n", kTag, keyName);
    std::wstring keyPath = ConfigSubkey(L"Inventory") + L"\\" + keyName;

    // The short name is needed only for a record written in full, and
    // finding it reads the module's folder: for a file that is there (and
    // whose short path cannot outgrow the buffer, being no longer than the
    // path) it waits until the module is probed.
    wchar_t shortName[9] = {};
    bool shortNameLater = candidate.size() < 520 && GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!shortNameLater && !FindShortName(candidate.c_str(), shortName)) return;

    WriteLog(L"%s: [RegKey] %s\r\n", kTag, keyPath.c_str());
    RegKey key;
    enum class Disposition { None, New, Existing } disposition = Disposition::None;
    if (g_ctx.scanInSandbox) {
        if (key.Open(g_ctx.registryRoot, keyPath.c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
            disposition = Disposition::Existing;
    } else {
        DWORD created = 0;
        if (key.Create(g_ctx.registryRoot, keyPath.c_str(), KEY_ALL_ACCESS, &created) == ERROR_SUCCESS)
            disposition = created == REG_CREATED_NEW_KEY ? Disposition::New : Disposition::Existing;
    }

    // What the key holds of the values this scan may write again: an
    // unchanged record is then left as it is instead of rewritten.
    StoredValues stored;
    DWORD storedBad = 0;
    if (key) {
        uint32_t bad = 0;
        if (NumberFrom(stored.Read(key.Get(), L"isBad", 8), L"isBad", &bad)) storedBad = bad;
    }
    bool recheck = false;
    if (storedBad && !g_ctx.rescanFailed && !g_ctx.singlePluginMode && MarkOutdated(key.Get(), candidate.c_str())) {
        WriteLog(L"%s: Known bad VST plugin changed since it was marked: probing it once in a sandboxed child\r\n",
                 kTag);
        // A sandboxing scan sends it to a child anyway; otherwise one child
        // for this module, and the record it writes is read as usual.
        if (g_ctx.scanInSandbox)
            recheck = true;
        else if (RecheckInChild(candidate.c_str(), keyPath))
            storedBad = 0;
        stored.Forget();
    }
    if (storedBad && !g_ctx.rescanFailed && !recheck && !(g_ctx.singlePluginMode && SentToProbe(candidate.c_str()))) {
        WriteLog(L"%s: Known bad VST plugin skipped\r\n", kTag);
        SetFailurePoint(L"Setting touch flag");
        if (key) {
            WriteDword(key.Get(), L"touch", 1);
            NoteTouch(keyName, 1);
        }
        return;
    }

    bool needsScan = g_ctx.rescanExisting || !key || storedBad || disposition == Disposition::New;
    InventoryRecord r = g_ctx.defaultsRecord;
    InventoryRecord s0;
    if (disposition == Disposition::Existing) {
        SetFailurePoint(L"Reading VST data from registry");
        ReadVstData(key.Get(), r, needsScan ? 0 : 1, needsScan ? nullptr : &stored);
        r.isNew = 0;
        r.isBad = 0;
        s0 = r;
        // A module that could not even be loaded is tried again: the bridge,
        // its runtime or the file itself may be there now.
        if (r.loadError && !needsScan)
            WriteLog(L"%s: Module failed to load in an earlier scan (error %d), trying again\r\n", kTag,
                     static_cast<int>(r.loadError));
        if (needsScan || (r.factoryFlags & 1) || r.loadError || ModuleChanged(r, false)) {
            needsScan = true;
            r = g_ctx.defaultsRecord;
            memcpy(r.modStats, s0.modStats, sizeof r.modStats);
            r.factoryFlags = s0.factoryFlags;
            r.numClasses = s0.numClasses;
            r.isVst = 0;
            r.isVst3 = 0;
            r.isNew = 0;
        }
    } else {
        SetFailurePoint(L"Initing new plug");
        r.isVst = 0;
        r.isVst3 = 0;
        r.isNew = 1;
        s0 = r;
    }

    std::vector<InventoryRecord> subRecords;
    DWORD result = 0;
    bool probedNow = false;
    if (needsScan) {
        if (shortNameLater && !FindShortName(candidate.c_str(), shortName)) {
            // Gone since it was looked at: leave no trace a skipped module
            // would not have left.
            key.Close();
            if (disposition == Disposition::New) RegDeleteKeyW(g_ctx.registryRoot, keyPath.c_str());
            return;
        }
        SetFailurePoint(L"Detailed plug scan");
        stored.Forget();  // the crash mark and the probe write past it
        if (g_ctx.pluginsScanned == 0 && s.progress) {
            ShowWindow(s.progress, SW_SHOW);
            SetGuiVisible(1);
        }
        const wchar_t* fileName = FileNameOf(candidate.c_str());
        if (g_ctx.scanInSandbox) WaitForFreeWorker();  // the host hears of a module as its probe starts
        if (g_ctx.background && g_ctx.hostWindow) NotifyHostById(kNotifyProgress, IDS_SCANNING, fileName);

        StringCchCopyW(r.DosName, 12, shortName);
        {
            std::wstring full = fileName;
            size_t dot = full.rfind(L'.');
            if (dot != std::wstring::npos) {
                full.resize(dot);
                StringCchCopyW(r.FullPath, ARRAYSIZE(r.FullPath), candidate.c_str());
            }
            StringCchCopyW(r.FullName, kPathChars, full.c_str());
        }
        // Set first and cleared only once the record is written: a scan
        // killed from outside in between leaves a mark the next scan knows
        // not to trust. A child leaves it to the scan that started it.
        if (g_ctx.scanInSandbox) {
            // The worker writes the record and its counts; the sums are read
            // after the loop. The workers note what they probe themselves.
            HandToWorker(candidate, keyPath);
        } else {
            if (!g_ctx.singlePluginMode) NoteProbing(candidate.c_str());
            // The crash marker: if the plug-in takes the process down, the
            // next scan finds the record still marked and skips it.
            r.isBad = 1;
            WriteBadMark(key.Get(), candidate.c_str());
            result = GuardedProbe(&r, &subRecords, s.progress);
        }
        g_ctx.pluginsScanned += result;
        if (disposition != Disposition::Existing) s0.numClasses = r.numClasses;
        if (r.isSynth) {
            r.registerAsSynth = 1;
            r.forceStereo = 1;
        }
        if (r.isShell) {
            for (InventoryRecord& sub : subRecords) {
                memcpy(sub.modStats, r.modStats, sizeof sub.modStats);
                if (sub.isSynth) {
                    sub.registerAsSynth = 1;
                    sub.forceStereo = 1;
                }
            }
        }
        if (!g_ctx.scanInSandbox) {
            if (IsPlugin(r))
                WriteLog(r.isInternal ? L"%s: Internal plugin successfully scanned\r\n"
                                      : L"%s: VST plugin successfully scanned\r\n",
                         kTag);
            else
                WriteLog(r.isInternal ? L"%s: Internal plugin successfully scanned\r\n" : L"%s: NOT a VST plugin\r\n",
                         kTag);
        }
        s.probed = true;
        probedNow = true;
    } else {
        SetFailurePoint(L"Setting touch flag");
        if (IsPlugin(r))
            WriteLog(
                r.isInternal ? L"%s: Internal plugin previously scanned\r\n" : L"%s: VST plugin previously scanned\r\n",
                kTag);
        else
            WriteLog(r.isInternal ? L"%s: Internal plugin previously scanned\r\n"
                                  : L"%s: Previously scanned - NOT a VST plugin\r\n",
                     kTag);
        if (key) stored.SetDword(key.Get(), L"touch", 1);
        if (s.probed && g_ctx.background && g_ctx.hostWindow) NotifyHostById(kNotifyProgress, IDS_SCANNING, L"");
        s.probed = false;
        result = 0;
    }

    // Count.
    if (!IsPlugin(r)) {
        if (g_ctx.scanInSandbox) g_ctx.pluginsFound += result;
    } else {
        g_ctx.pluginsFound += r.isShellRoot ? r.numClasses : 1;
    }

    // Write.
    SetFailurePoint(L"Writing VST data");
    int updateOnly = needsScan ? 0 : 1;
    if (probedNow && !g_ctx.scanInSandbox && !r.isNew && s0.numClasses != r.numClasses) {
        RegKey inventoryKey;
        if (inventoryKey.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
            g_ctx.pluginsDeleted += DeleteShellChildren(inventoryKey.Get(), keyName);
    }
    if (r.isShell && key && !g_ctx.scanInSandbox) {
        r.isShellRoot = 1;
        WriteVstData(key.Get(), r, g_ctx.noPrefix, updateOnly, &stored);
        NoteTouch(keyName, 1);  // the key is closed before the touch rule below
        if (!subRecords.empty()) {
            key.Close();
            for (InventoryRecord& sub : subRecords) {
                // Built when the first shell is written, not before: every
                // record of a large inventory is read for it, and a child or
                // worker that probes no shell has no use for it.
                if (!g_shellSubKeys.built) g_shellSubKeys.Build();
                g_shellSubKeys.Apply(keyName, sub);
                RegKey subKey;
                std::wstring subName = MakeSubRecordKeyName(keyName, sub.uniqueId, sub.FullName);
                subKey.Create(g_ctx.registryRoot, (ConfigSubkey(L"Inventory") + L"\\" + subName).c_str(),
                              KEY_ALL_ACCESS);
                if (sub.isSynth) sub.registerAsTempoBasedEffect = 0;
                WriteVstData(subKey.Get(), sub, g_ctx.noPrefix, updateOnly);
                if (subKey) NoteTouch(subName.c_str(), 1);
            }
        }
    } else {
        if (r.isSynth) r.registerAsTempoBasedEffect = 0;
        if (key && !g_ctx.scanInSandbox) {
            WriteVstData(key.Get(), r, g_ctx.noPrefix, updateOnly, &stored);
            NoteTouch(keyName, 1);
        }
    }

    // Add to the in-memory inventory.
    if (!subRecords.empty()) {
        for (const InventoryRecord& sub : subRecords)
            if ((sub.isVst || sub.isVst3) && !sub.isBad) inventory.push_back(sub);
    } else if (IsPlugin(r) && !r.isBad && !IsEqualGUID(r.clsidPlug, GUID{})) {
        inventory.push_back(r);
    }

    // Touch: a plug-in record that yields no class and no class id is left
    // for the sweep; a module that is no plug-in stays recorded as such.
    DWORD touch = 0;
    if (GetFileAttributesW(r.FullPath) != INVALID_FILE_ATTRIBUTES && !g_ctx.scanInSandbox)
        touch = (!IsPlugin(r) || r.numClasses > 0 || !IsEqualGUID(r.clsidPlug, GUID{}) || r.isBad) ? 1 : 0;
    if (key && !g_ctx.scanInSandbox) {
        stored.SetDword(key.Get(), L"touch", touch);
        NoteTouch(keyName, touch);
    }
    if (probedNow && !g_ctx.singlePluginMode && !g_ctx.scanInSandbox) NoteProbeDone();

    SetFailurePoint(L"Plugin analysis loop");
    if (g_ctx.background && g_ctx.hostWindow && g_ctx.pluginsScanned > 0) {
        bool post = g_ctx.pluginsFound == s.internalCount ||
                    (g_ctx.pluginsFound < s.internalCount && g_ctx.pluginsScanned % 10 == 0) ||
                    g_ctx.pluginsScanned % 25 == 0 || (probedNow && result && r.isShell && subRecords.size() > 10);
        if (post) PostInventoryChange();
    }
}

// A folder the file search collected (a VST 3 bundle, or any folder named
// like a module) fails to load before any plug-in code could run, so a child
// for it would cost a process to learn nothing. The scan analyses it itself,
// as the child would have: under its long path, its record created, written
// and marked as seen.
bool IsFolder(const std::wstring& candidate) {
    DWORD attributes = GetFileAttributesW(candidate.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AnalyseFolderWithoutChild(const std::wstring& candidate, size_t index, std::vector<InventoryRecord>& inventory,
                               LoopState& s) {
    wchar_t longPath[ARRAYSIZE(g_ctx.singlePluginPath)];
    DWORD n = GetLongPathNameW(candidate.c_str(), longPath, ARRAYSIZE(longPath));
    g_ctx.scanInSandbox = 0;
    AnalyseOne(n > 0 && n < ARRAYSIZE(longPath) ? std::wstring(longPath) : candidate, index, inventory, s);
    g_ctx.scanInSandbox = 1;
}

void AddSandboxSums() {
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    DWORD value = 0;
    if (ReadDword(inventory.Get(), L"PluginsFound", &value)) g_ctx.pluginsFound += value;
    value = 0;
    if (ReadDword(inventory.Get(), L"PluginsScanned", &value)) g_ctx.pluginsScanned += value;
    value = 0;
    if (ReadDword(inventory.Get(), L"PluginsDeleted", &value)) g_ctx.pluginsDeleted += value;
}

}  // namespace

void ForgetShellSubKeys() {
    g_shellSubKeys = ShellSubKeys();
}

int AnalyseVstPlugins(std::vector<std::wstring>& candidates, std::vector<InventoryRecord>& inventory, HWND progress,
                      DWORD internalCount) {
    SetFunction(L"AnalyseVstPlugins");
    SetFailurePoint(L"Analyzing VST plugins");
    WriteLog(L"%s: ******* %s...\r\n", kTag, g_failure.failurePoint);
    if (progress) SetProgressText(progress, LoadStr(IDS_ANALYZING).c_str());
    LoadSystemLibrariesOnce();
    if (!g_ctx.singlePluginMode) RecheckUnfinishedProbe();

    LoopState state;
    state.progress = progress;
    state.internalCount = internalCount;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (!g_ctx.background) PumpProgressMessages(progress);
        if (g_ctx.cancelRequested) break;
        if (candidates[i].empty()) continue;
        SetFunction(L"AnalyseVstPlugins");
        if (g_ctx.scanInSandbox) WaitWhileProbed(candidates[i]);
        if (g_ctx.scanInSandbox && IsFolder(candidates[i]))
            AnalyseFolderWithoutChild(candidates[i], i, inventory, state);
        else
            AnalyseOne(candidates[i], i, inventory, state);
    }

    if (g_ctx.cancelRequested) ForgetUnseenMarks();
    if (g_ctx.scanInSandbox) {
        FinishSandboxedProbes();
        AddSandboxSums();
    }
    WriteLog(L"%s: Finished analyzing VST plugins - %d of %d VST plugins were scanned in this run\r\n", kTag,
             static_cast<int>(g_ctx.pluginsScanned), static_cast<int>(g_ctx.pluginsFound));
    return 1;
}
