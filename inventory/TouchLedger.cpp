#include "inventory/TouchLedger.h"

#include <map>
#include <set>

#include "core/ScanContext.h"
#include "core/Win32Owners.h"
#include "inventory/RegistryValues.h"

namespace {

// Key names compare as the registry compares them: ignoring letter case.
struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                    TRUE) == CSTR_LESS_THAN;
    }
};

bool SameName(const wchar_t* a, size_t aChars, const wchar_t* b, size_t bChars) {
    return CompareStringOrdinal(a, static_cast<int>(aChars), b, static_cast<int>(bChars), TRUE) == CSTR_EQUAL;
}

struct Ledger {
    bool active = false;
    std::map<std::wstring, TouchSeen, NoCase> seen;
    std::set<std::wstring, NoCase> childOwners;  // sub-plug-in records written by a child
};

Ledger& TheLedger() {
    static Ledger ledger;
    return ledger;
}

}  // namespace

void StartTouchLedger() {
    Ledger& l = TheLedger();
    l.seen.clear();
    l.childOwners.clear();
    l.active = true;
}

void EndTouchLedger() {
    StartTouchLedger();
    TheLedger().active = false;
}

bool TouchLedgerActive() {
    return TheLedger().active;
}

void NoteTouch(const wchar_t* keyName, DWORD touch) {
    Ledger& l = TheLedger();
    if (!l.active || !keyName) return;
    l.seen[keyName] = touch ? TouchSeen::One : TouchSeen::Zero;
}

void LeaveTouchToChild(const wchar_t* keyName) {
    Ledger& l = TheLedger();
    if (!l.active || !keyName || !*keyName) return;
    std::wstring owner = keyName;
    l.seen[owner] = TouchSeen::Stored;
    l.childOwners.insert(owner);
    RegKey inventory;
    if (inventory.Open(g_ctx.registryRoot, ConfigSubkey(L"Inventory").c_str(), KEY_READ) != ERROR_SUCCESS) return;
    for (const std::wstring& name : SubkeyNames(inventory.Get())) {
        bool self = SameName(name.c_str(), name.size(), owner.c_str(), owner.size());
        bool sub = name.size() > owner.size() && name[owner.size()] == L'*' &&
                   SameName(name.c_str(), owner.size(), owner.c_str(), owner.size());
        if (!self && !sub) continue;
        RegKey record;
        if (record.Open(inventory.Get(), name.c_str(), KEY_SET_VALUE) == ERROR_SUCCESS)
            RegDeleteValueW(record.Get(), L"touch");
        if (sub) l.seen.erase(name);
    }
}

TouchSeen SeenInThisScan(const std::wstring& keyName) {
    const Ledger& l = TheLedger();
    auto it = l.seen.find(keyName);
    if (it != l.seen.end()) return it->second;
    size_t star = keyName.find(L'*');
    if (star != std::wstring::npos && l.childOwners.count(keyName.substr(0, star))) return TouchSeen::Stored;
    return TouchSeen::No;
}
