// The properties dialog (110): the host-side options of one plug-in, or, in
// defaults mode, the folder defaults every newly found plug-in starts from.
#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "core/ScanContext.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "inventory/BridgeSettings.h"
#include "ui/ConfigDialogs.h"
#include "ui/ConfigStore.h"
#include "ui/Dialogs.h"
#include "ui/HelpCommand.h"
#include "ui/SelectionList.h"

namespace {

struct CheckBox {
    int id;
    uint32_t InventoryFields::*field;
};

constexpr CheckBox kCheckBoxes[] = {
    {IDC_PROPS_ENABLE, &InventoryFields::registerAsPlug},
    {IDC_PROPS_SYNTH, &InventoryFields::registerAsSynth},
    {IDC_PROPS_TEMPO, &InventoryFields::registerAsTempoBasedEffect},
    {IDC_PROPS_JBRIDGE, &InventoryFields::jBridgeLoader},
    {IDC_PROPS_STEREO, &InventoryFields::forceStereo},
    {IDC_PROPS_MONO, &InventoryFields::forceMono},
    {IDC_PROPS_NRPN, &InventoryFields::nrpnPassThrough},
    {IDC_PROPS_PROGRAMS, &InventoryFields::translateProgramChanges},
    {IDC_PROPS_DELAY, &InventoryFields::delayCompensation},
    {IDC_PROPS_SUSPEND_STOP, &InventoryFields::forceSuspendOnStop},
    {IDC_PROPS_SERIALIZE, &InventoryFields::seralizeDispatcher},
    {IDC_PROPS_SUSPEND_PLAY, &InventoryFields::forceSuspendOnPlay},
};

constexpr size_t kNameChars = 128;  // at most 127 characters of the name are taken back

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void Enable(HWND dialog, int id, bool enabled) {
    EnableWindow(GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
}

void SetNumber(HWND dialog, int id, long long value) {
    wchar_t text[24];
    swprintf(text, 24, L"%lld", value);
    SetDlgItemTextW(dialog, id, text);
}

// The number in an edit, read like the host's own tools: at most 15 characters.
long long ReadNumber(HWND dialog, int id) {
    wchar_t text[16] = {};
    GetDlgItemTextW(dialog, id, text, 16);
    return _wtoi(text);
}

void Fill(HWND dialog, const InventoryRecord& r) {
    SetDlgItemTextW(dialog, IDC_PROPS_NAME, r.FullName);
    SetNumber(dialog, IDC_PROPS_INPUTS, r.maxUsedInputs);
    SetNumber(dialog, IDC_PROPS_SERVER, static_cast<long long>(r.gantryServerId) + 1);  // 0 is the default server
    for (const CheckBox& box : kCheckBoxes) CheckDlgButton(dialog, box.id, r.*box.field ? BST_CHECKED : BST_UNCHECKED);
    Enable(dialog, IDC_PROPS_MONO, r.forceStereo == 0);
}

// Controls back to the record; numbers out of range leave their field alone.
void Collect(HWND dialog, InventoryRecord& r) {
    for (const CheckBox& box : kCheckBoxes) r.*box.field = Checked(dialog, box.id) ? 1 : 0;
    GetDlgItemTextW(dialog, IDC_PROPS_NAME, r.FullName, kNameChars);

    // A plug-in uses between two (or all it has, if fewer) and all its inputs.
    long long inputs = ReadNumber(dialog, IDC_PROPS_INPUTS);
    long long lowest = std::min<long long>(r.numInputs, 2);
    if (inputs >= lowest && inputs <= r.numInputs) r.maxUsedInputs = static_cast<uint32_t>(inputs);

    long long server = ReadNumber(dialog, IDC_PROPS_SERVER);
    if (server <= 0)
        r.gantryServerId = -1;
    else if (server <= GantryServerCount())
        r.gantryServerId = static_cast<int32_t>(server - 1);
}

void Save(HWND dialog) {
    InventoryRecord* r = nullptr;
    if (g_ctx.propsForPlugin) {
        if (SelectionMark() < 0 || !(r = SelectedRecord())) return;
    } else {
        r = &g_ctx.defaultsRecord;
    }
    const InventoryRecord before = *r;
    Collect(dialog, *r);
    if (!g_ctx.propsForPlugin) {
        SaveFolderDefaults();
        return;
    }
    RefreshList();
    SavePluginRecord(*r);
    if (!r->SameAs(before)) g_ctx.inventoryChanged = 1;
}

void OnInit(HWND dialog) {
    InventoryRecord* r = nullptr;
    if (g_ctx.propsForPlugin) {
        RememberSelection(SelectionMark());
        r = SelectedRecord();
    } else {
        for (int id : {IDC_PROPS_DETAILS, IDC_PROPS_NAME, IDC_PROPS_INPUTS, IDC_PROPS_SYNTH}) Enable(dialog, id, false);
        r = &g_ctx.defaultsRecord;
    }
    Enable(dialog, IDC_PROPS_JBRIDGE, IsJBridgeInstalled());
    Enable(dialog, IDC_PROPS_SERVER, true);
    if (!r) {
        EndDialog(dialog, 0);
        return;
    }
    Fill(dialog, *r);
}

void OnCommand(HWND dialog, int id) {
    switch (id) {
        case IDC_PROPS_TEMPO:  // tempo-based effect and synth exclude each other
            if (Checked(dialog, IDC_PROPS_TEMPO)) CheckDlgButton(dialog, IDC_PROPS_SYNTH, BST_UNCHECKED);
            break;
        case IDC_PROPS_SYNTH:
            if (Checked(dialog, IDC_PROPS_SYNTH)) CheckDlgButton(dialog, IDC_PROPS_TEMPO, BST_UNCHECKED);
            break;
        case IDC_PROPS_STEREO:  // the mono box keeps its check mark
            Enable(dialog, IDC_PROPS_MONO, !Checked(dialog, IDC_PROPS_STEREO));
            break;
        case IDC_PROPS_DETAILS:
            RunDetailsDialog();
            break;
        case IDCANCEL:
            EndDialog(dialog, 0);
            break;
        case IDC_OK:
            Save(dialog);
            EndDialog(dialog, 0);
            break;
    }
}

INT_PTR CALLBACK DlgItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    SetFunction(L"DlgItemProc");
    SetFailurePoint(L"Proc");
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog);
            return TRUE;
        case WM_HELP:
            ShowHelp();
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam));
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR RunPropertiesDialog() {
    return RunModalDialog(kDlgProperties, DlgItemProc);
}

INT_PTR ShowFolderDefaults() {
    g_ctx.propsForPlugin = 0;
    return RunPropertiesDialog();
}
