// The test host: a stand-in for the audio workstation in tests of background
// mode. It opens its main window, starts Sievo.exe as the host does, records
// every notification and inventory-change post until Sievo has exited and
// its messages are drained, then writes the report. Exit code 0 when Sievo
// ran to its end, 2 for bad options, 3 when Sievo could not start, 4 when it
// had to be stopped.
#include <windows.h>
#include <objbase.h>

#include "tools/testhost/HostEvent.h"
#include "tools/testhost/HostOptions.h"
#include "tools/testhost/HostReport.h"
#include "tools/testhost/HostWindow.h"
#include "tools/testhost/SievoProcess.h"

namespace {

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs the message loop until Sievo exits or the time is up.
void WaitForSievo(HANDLE process, DWORD timeoutMs, HostRun* run) {
    DWORD started = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - started;
        if (spent >= timeoutMs) {
            run->timedOut = true;
            TerminateProcess(process, 0xDEAD);
            WaitForSingleObject(process, 5000);
            break;
        }
        DWORD rc = MsgWaitForMultipleObjects(1, &process, FALSE, timeoutMs - spent, QS_ALLINPUT);
        if (rc == WAIT_OBJECT_0) break;
        Pump();
    }
    Pump();  // what Sievo posted before it ended
    GetExitCodeProcess(process, &run->sievoExitCode);
}

std::wstring ToastGuid(const HostOptions& options) {
    if (!options.toast) return {};
    if (!options.toastText.empty()) return options.toastText;
    GUID guid{};
    CoCreateGuid(&guid);
    return GuidText(guid);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HostOptions options;
    std::wstring error;
    if (!ParseHostOptions(GetCommandLineW(), &options, &error)) {
        OutputDebugStringW(error.c_str());
        return 2;
    }

    HostRun run;
    HWND window = CreateHostWindow(options, &run);
    if (!window) return 2;
    HWND passed = window;
    if (options.hwnd == HwndMode::Zero) passed = nullptr;
    if (options.hwnd == HwndMode::Gone) passed = MakeDeadWindowHandle();
    // Hosts pass the handle as a signed 32-bit decimal.
    run.hostWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(passed));
    run.toastGuid = ToastGuid(options);
    run.sievoCommandLine = SievoCommandLine(options, run.hostWindow, run.toastGuid);

    HANDLE process = StartSievo(run.sievoCommandLine);
    run.started = process != nullptr;
    if (process) {
        WaitForSievo(process, options.timeoutMs, &run);
        CloseHandle(process);
    }
    if (IsWindow(window)) DestroyWindow(window);

    bool written = true;
    if (!options.reportPath.empty()) written = WriteJsonReport(options.reportPath, run) && written;
    if (!options.linesPath.empty()) written = WriteLinesReport(options.linesPath, run) && written;
    if (!run.started) return 3;
    if (run.timedOut) return 4;
    return written ? 0 : 5;
}
