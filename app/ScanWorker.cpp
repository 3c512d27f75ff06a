#include "app/ScanWorker.h"

#include "app/AnalysisLoop.h"
#include "app/CommandLine.h"
#include "app/Completion.h"
#include "app/MarkRecheck.h"
#include "app/ProbeGuard.h"
#include "app/RunSequence.h"
#include "app/WorkerMessages.h"
#include "core/ScanContext.h"
#include "diag/FailurePoint.h"
#include "diag/FaultGuard.h"
#include "diag/ScanLog.h"
#include "inventory/GuiVisible.h"
#include "ui/ConfigDialogs.h"
#include "vst2/BitmapCache.h"

namespace {

bool ReadRequest(HANDLE pipe, WorkerRequest* request) {
    DWORD bytes = 0;
    if (!ReadFile(pipe, request, sizeof *request, &bytes, nullptr)) return false;  // the scan is over, or gone
    if (bytes < RequestBytes(0) || request->chars >= kFolderChars || bytes != RequestBytes(request->chars))
        return false;
    request->path[request->chars] = 0;
    return true;
}

// What one single-plug-in run starts from.
void ResetForModule(const wchar_t* path) {
    g_ctx.pluginsFound = 0;
    g_ctx.pluginsScanned = 0;
    g_ctx.pluginsDeleted = 0;
    g_ctx.pluginErrors = 0;
    g_ctx.inventoryChanged = 0;
    g_ctx.errorDialogEnable = 0;
    g_ctx.candidates.clear();
    g_ctx.inventory.clear();
    g_failure.pluginName = nullptr;
    SetFunction(L"Main");
    SetFailurePoint(L"User setup");
    SetSinglePluginPath(path);
    NoteHandedOver(g_ctx.singlePluginPath);
}

WorkerRetires Retirement(bool finished, DWORD faultsBefore, uint32_t served) {
    if (!finished) return WorkerRetires::ScanException;
    if (ContainedProbeFaults() != faultsBefore) return WorkerRetires::PluginFault;
    if (GetModuleHandleW(g_ctx.singlePluginPath)) return WorkerRetires::ModuleStillMapped;
    if (!HeapValidate(GetProcessHeap(), 0, nullptr)) return WorkerRetires::HeapDamaged;
    if (served >= kModulesPerWorker) return WorkerRetires::ModuleLimit;
    return WorkerRetires::No;
}

const wchar_t* Why(WorkerRetires retires) {
    switch (retires) {
        case WorkerRetires::ModuleLimit:
            return L"its share of modules is done";
        case WorkerRetires::PluginFault:
            return L"a plug-in fault was contained in it";
        case WorkerRetires::ModuleStillMapped:
            return L"the module stays loaded in it";
        case WorkerRetires::HeapDamaged:
            return L"its heap is damaged";
        case WorkerRetires::ScanException:
            return L"the scan of the module ended in an exception";
        default:
            return L"";
    }
}

}  // namespace

void ServeAsWorker() {
    HANDLE pipe = WorkerPipe();
    WriteLog(L"%s: Sandbox worker %u ready\r\n", kTag, static_cast<unsigned>(GetCurrentProcessId()));
    WorkerRequest request;
    for (uint32_t served = 1; ReadRequest(pipe, &request); ++served) {
        ResetForModule(request.path);
        if (request.again) ForgetShellSubKeys();  // a probe of this module may have changed its keys
        DWORD faultsBefore = ContainedProbeFaults();
        // As a child's run: the scan, its exception report, then the metrics.
        bool finished = RunGuarded([] { RunScan(); });
        if (!finished) {
            LogExceptionLine();
            if (!g_ctx.background) ShowExceptionDialog();
        }
        // In background mode nothing of a worker's sets the flag: it is
        // still the 0 initialisation wrote.
        if (!g_ctx.background) SetGuiVisible(0);
        WriteScanMetrics();

        WorkerReply reply;
        reply.done = kWorkerDone;
        reply.retires = Retirement(finished, faultsBefore, served);
        if (reply.retires != WorkerRetires::No)
            WriteLog(L"%s: Sandbox worker %u retires after %u module(s): %s\r\n", kTag,
                     static_cast<unsigned>(GetCurrentProcessId()), served, Why(reply.retires));
        DWORD written = 0;
        if (!WriteFile(pipe, &reply, sizeof reply, &written, nullptr) || reply.retires != WorkerRetires::No) break;
    }
    CloseLog();
    StopBitmapStore();
}
