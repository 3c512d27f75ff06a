#include "ui/Dialogs.h"

#include "core/ScanContext.h"
#include "core/Strings.h"
#include "inventory/GuiVisible.h"

namespace {

const DLGTEMPLATE* FindTemplate(int templateId) {
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
