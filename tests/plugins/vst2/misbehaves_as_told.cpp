// An otherwise ordinary effect that misbehaves in the one way named in the
// file "<this DLL>.how" (no file: it behaves):
//   window   leaves a hidden window with a running timer behind
//   timer    leaves a thread timer with its callback behind
//   thread   starts a thread that wakes after the host is done with the DLL
//            and notes in "<this DLL>.woke" that it got to run to its end
//   unstarted  creates that thread suspended and lets it go only while the
//            DLL is being unloaded: it has never run when the host decides
//   overrun  writes 4 KB without a terminator as its name
//   spin     never returns from effOpen
//   slow     takes a second in effOpen, then behaves
#include <cstring>

#include "PluginKit.h"

namespace {

char g_how[32];
HANDLE g_unstarted;

bool Is(const char* how) {
    return strncmp(g_how, how, strlen(how)) == 0;
}

LRESULT CALLBACK LeftWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

void CALLBACK LeftTimerProc(HWND, UINT, UINT_PTR, DWORD) {}

DWORD WINAPI LateThread(void*) {
    Sleep(300);
    plugin_kit::AppendBesideSelf(".woke", "woke\n");
    return 0;
}

void MisbehaveInOpen() {
    if (Is("window")) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = LeftWindowProc;
        wc.hInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
        wc.lpszClassName = "MisbehavesAsToldWindow";
        RegisterClassA(&wc);  // a second copy finds it registered already
        HWND window = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                      wc.hInstance, nullptr);
        SetTimer(window, 1, 10, nullptr);
        PostMessageA(window, WM_USER, 0, 0);
    } else if (Is("timer")) {
        SetTimer(nullptr, 0, 10, LeftTimerProc);
    } else if (Is("unstarted")) {
        g_unstarted = CreateThread(nullptr, 0, LateThread, nullptr, CREATE_SUSPENDED, nullptr);
    } else if (Is("thread")) {
        if (HANDLE thread = CreateThread(nullptr, 0, LateThread, nullptr, 0, nullptr)) CloseHandle(thread);
    } else if (Is("spin")) {
        for (volatile int i = 0;; i = i + 1) {
        }
    } else if (Is("slow")) {
        Sleep(1000);
    }
}

bool Hook(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float, intptr_t* result) {
    if (opcode == effOpen) {
        MisbehaveInOpen();
        return false;
    }
    if (opcode == effGetEffectName && Is("overrun") && ptr) {
        memset(ptr, 'x', 4096);
        *result = 1;
        return true;
    }
    return false;
}

const PluginTraits kTraits{"misbehaves_as_told", "Untidy Effect", "", "", 0x554E5444, 0, Hook};  // 'UNTD'

}  // namespace

// Only FreeLibrary (no reserved pointer) lets the thread go: at process exit
// it would never run anyway.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && !reserved && g_unstarted) ResumeThread(g_unstarted);
    return TRUE;
}

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    if (!plugin_kit::ReadBesideSelf(".how", g_how, sizeof g_how)) g_how[0] = 0;
    return CreateEffect(kTraits);
}
