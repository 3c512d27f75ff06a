// Drives the dialogs of a running Sievo.exe the way a user would: waits for a
// window by its caption, clicks buttons, types into edits, reads controls.
// Each step has a time limit, and a process still running at the end is ended.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

namespace ui_test {

using namespace sievo_test;

constexpr wchar_t kPathsCaption[] = L"Tarnwell VST Scan Paths";
constexpr wchar_t kPropsCaption[] = L"VST Plug-In Properties";
constexpr wchar_t kDetailsCaption[] = L"Tarnwell VST Scan: VST Plug-in Properties";
constexpr wchar_t kResetCaption[] = L"Tarnwell VST Scan:  Reset VST Settings";
constexpr wchar_t kNoPathsCaption[] = L"Tarnwell VST Scan Error";
constexpr wchar_t kProgressCaption[] = L"Scanning...";

// A check box or radio button clicked synchronously: its dialog has handled
// the click when this returns.
inline void Toggle(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
inline bool IsChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
inline bool IsEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}
inline void Type(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// A record key under Inventory with the values the dialogs read.
struct SeedRecord {
    std::wstring path = L"C:\\Plugins\\Echo.dll";  // the key name is made from it
    std::wstring keySuffix;                        // "*<id> <name>" for a shell's sub-plug-in
    std::wstring name = L"Echo";
    std::wstring clsid = L"{5EED0001-0000-4000-8000-000000000001}";
    DWORD isX64 = 1;
    DWORD numInputs = 2;
    DWORD maxUsedInputs = 2;
    DWORD numOutputs = 2;
    DWORD uniqueId = 0x41424344;
    DWORD vstVersion = 2400;
    DWORD isSynth = 0;
    DWORD wantEvents = 0;
    DWORD isShell = 0;
    DWORD isShellRoot = 0;
    DWORD gantryServerId = 0;  // as stored: index + 1
};

inline std::wstring RecordSub(const SeedRecord& r) {
    return TestKey::Record(r.path) + r.keySuffix;
}

inline void Seed(const TestKey& key, const SeedRecord& r) {
    std::wstring sub = RecordSub(r);
    key.SetText(L"FullName", r.name, sub.c_str());
    key.SetText(L"FullPath", r.path, sub.c_str());
    key.SetText(L"clsidPlug", r.clsid, sub.c_str());
    const wchar_t* names[] = {L"isVst",    L"isX64",       L"numInputs",      L"numOutputs",    L"maxUsedInputs",
                              L"uniqueId", L"vstVersion",  L"isSynth",        L"wantEvents",    L"generateEvents",
                              L"isShell",  L"isShellRoot", L"registerAsPlug", L"gantryServerId"};
    const DWORD values[] = {1,          r.isX64,       r.numInputs, r.numOutputs,    r.maxUsedInputs,
                            r.uniqueId, r.vstVersion,  r.isSynth,   r.wantEvents,    0,
                            r.isShell,  r.isShellRoot, 1,           r.gantryServerId};
    for (size_t i = 0; i < ARRAYSIZE(values); ++i) key.SetDword(names[i], values[i], sub.c_str());
}

inline DWORD RecordDword(const TestKey& key, const SeedRecord& r, const wchar_t* name) {
    return key.Dword(name, RecordSub(r).c_str());
}

inline std::wstring RecordText(const TestKey& key, const SeedRecord& r, const wchar_t* name) {
    return key.Text(name, RecordSub(r).c_str());
}

// Opens `args`, waits for the dialog `caption`, lets `act` work on it, then
// clicks `button` and expects the program to end cleanly.
template <class Act>
void InDialog(const std::wstring& args, const wchar_t* caption, Act&& act, int button) {
    Sievo sievo(args);
    HWND dialog = sievo.Wait(caption);
    ASSERT_NE(dialog, nullptr) << "no dialog " << Narrow(caption);
    act(sievo, dialog);
    ClickButton(dialog, button);
    EXPECT_EQ(sievo.WaitExit(), 0u);
}

}  // namespace ui_test
