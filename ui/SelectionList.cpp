#include "ui/SelectionList.h"

#include <commctrl.h>

#include <string>

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "core/resource.h"
#include "diag/FailurePoint.h"
#include "ui/ConfigDialogs.h"

namespace {

HWND g_list = nullptr;
int g_columns[4] = {};
int g_selection = -1;

struct Column {
    UINT header;
    int width;
};
constexpr Column kColumns[4] = {{IDS_COL_PLUGIN, 150}, {IDS_COL_ENABLED, 55}, {IDS_COL_SYNTH, 95}, {IDS_COL_NEW, 50}};

InventoryRecord* RecordOf(int item) {
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    if (!g_list || !SendMessageW(g_list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv))) return nullptr;
    return reinterpret_cast<InventoryRecord*>(lv.lParam);
}

void SetCell(int item, int column, const std::wstring& text) {
    LVITEMW lv{};
    lv.iSubItem = column;
    lv.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(g_list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
}

void Select(int item) {
    LVITEMW lv{};
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    lv.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(g_list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
    SendMessageW(g_list, LVM_SETSELECTIONMARK, 0, item);
}

// The record to open: the first native match, else the last match.
const InventoryRecord* FindByClsid(const GUID& clsid) {
    const InventoryRecord* chosen = nullptr;
    for (const InventoryRecord& r : g_ctx.inventory) {
        if (!IsEqualGUID(r.clsidPlugMD5, clsid) && !IsEqualGUID(r.clsidPlug, clsid)) continue;
        chosen = &r;
        if (r.isX64) break;
    }
    return chosen;
}

// The first item named like the record, or a later one holding a native
// record of the same class id.
int FindItem(const InventoryRecord& chosen) {
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = chosen.FullName;
    int item =
        static_cast<int>(SendMessageW(g_list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    if (item < 0) return -1;
    int count = static_cast<int>(SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = item; i < count; ++i) {
        const InventoryRecord* r = RecordOf(i);
        if (!r) break;
        if (IsEqualGUID(r->clsidPlug, chosen.clsidPlug) && r->isX64) return i;
    }
    return item;
}

void DestroyList() {
    if (g_list) DestroyWindow(g_list);
    g_list = nullptr;
}

}  // namespace

int SelectionMark() {
    return g_list ? static_cast<int>(SendMessageW(g_list, LVM_GETSELECTIONMARK, 0, 0)) : -1;
}

void RememberSelection(int index) {
    g_selection = index;
}

InventoryRecord* SelectedRecord() {
    int mark = SelectionMark();
    return mark < 0 ? nullptr : RecordOf(mark);
}

void RefreshList() {
    SetFunction(L"RefreshList");
    SetFailurePoint(L"refresh");
    if (!g_list) return;
    SendMessageW(g_list, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 3; i >= 0; --i) SendMessageW(g_list, LVM_DELETECOLUMN, static_cast<WPARAM>(g_columns[i]), 0);

    for (int i = 0; i < 4; ++i) {
        std::wstring header = LoadStr(kColumns[i].header);
        LVCOLUMNW col{};
        col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = kColumns[i].width;
        col.pszText = const_cast<wchar_t*>(header.c_str());
        col.iSubItem = i;
        g_columns[i] = static_cast<int>(
            SendMessageW(g_list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col)));
    }

    const std::wstring yes = LoadStr(IDS_YES_MARK);
    const std::wstring blank = L" ";
    int position = 0;
    for (InventoryRecord& r : g_ctx.inventory) {
        LVITEMW lv{};
        lv.mask = LVIF_TEXT | LVIF_PARAM;
        lv.iItem = position;
        lv.pszText = r.FullName;
        lv.lParam = reinterpret_cast<LPARAM>(&r);
        int item = static_cast<int>(SendMessageW(g_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lv)));
        SetCell(item, 1, r.registerAsPlug ? yes : blank);
        SetCell(item, 2, r.registerAsSynth ? yes : blank);
        SetCell(item, 3, r.isNew ? yes : blank);
        ++position;
    }

    SendMessageW(g_list, LVM_SETSELECTIONMARK, 0, g_selection);
    if (g_selection >= 0) Select(g_selection);  // -1 would select every item
    SetFocus(g_list);
    if (g_selection >= 0) {
        SendMessageW(g_list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(g_selection), FALSE);
        SendMessageW(g_list, LVM_REDRAWITEMS, 0, g_selection);
    }
}

void ShowPluginProperties(const GUID& clsid) {
    if (g_ctx.inventory.empty()) return;
    const InventoryRecord* chosen = FindByClsid(clsid);
    if (!chosen) return;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    // No style bits: never visible, no parent; it only carries the selection.
    g_list = CreateWindowExW(0, WC_LISTVIEWW, L"", 0, 0, 0, 5, 5, nullptr, nullptr, g_ctx.instance, nullptr);
    if (!g_list) return;
    RefreshList();

    int item = FindItem(*chosen);
    if (item < 0) {
        DestroyList();
        return;
    }
    Select(item);
    g_ctx.propsForPlugin = 1;
    RunPropertiesDialog();
    DestroyList();
}
