#include "ui/Dialogs.h"

#include <commctrl.h>

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "inventory/GuiVisible.h"

namespace {

// The controls of our dialogs, registered when the first dialog is made: a
// run that shows none does without.
void RegisterCommonControls() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    InitCommonControls();
}

const DLGTEMPLATE* FindTemplate(int templateId) {
    RegisterCommonControls();
    HMODULE module = g_ctx.instance ? g_ctx.instance : GetModuleHandleW(nullptr);
    HRSRC res = FindLocalizedResource(module, RT_DIALOG, MAKEINTRESOURCEW(templateId));
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    return data ? static_cast<const DLGTEMPLATE*>(LockResource(data)) : nullptr;
}

HINSTANCE Instance() {
    return g_ctx.instance ? g_ctx.instance : GetModuleHandleW(nullptr);
}

}  // namespace

HWND CreateLocalizedDialog(int templateId, HWND owner, DLGPROC proc) {
    const DLGTEMPLATE* tpl = FindTemplate(templateId);
    return tpl ? CreateDialogIndirectParamW(Instance(), tpl, owner, proc, 0) : nullptr;
}

INT_PTR ShowLocalizedDialog(int templateId, HWND owner, DLGPROC proc) {
    const DLGTEMPLATE* tpl = FindTemplate(templateId);
    return tpl ? DialogBoxIndirectParamW(Instance(), tpl, owner, proc, 0) : -1;
}

INT_PTR RunModalDialog(int templateId, DLGPROC proc) {
    if (g_ctx.background) return 0;
    SetGuiVisible(1);
    return ShowLocalizedDialog(templateId, nullptr, proc);
}
