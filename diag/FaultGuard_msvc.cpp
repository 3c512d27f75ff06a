// MSVC form of the fault guard: __try/__except gives the same frame handler
// that FaultGuard_gnu.S spells out by hand.
#include "diag/FaultGuard.h"

extern "C" LONG SievoGuardFilter(EXCEPTION_POINTERS* info, void* frame);

extern "C" int SievoGuardedCall(GuardedFn fn, void* context) {
    __try {
        fn(context);
        return 0;
    } __except (SievoGuardFilter(GetExceptionInformation(), nullptr)) {
        return 1;
    }
}

// Thread notices (diag/PluginLeftovers.cpp): a pointer in the loader's list
// of TLS callbacks, so the program hears of every thread that starts or ends.
extern "C" void NTAPI SievoThreadNotice(PVOID module, DWORD reason, PVOID reserved);
#pragma comment(linker, "/INCLUDE:_tls_used")
#pragma comment(linker, "/INCLUDE:g_sievoThreadNotice")
#pragma const_seg(".CRT$XLP")
extern "C" const PIMAGE_TLS_CALLBACK g_sievoThreadNotice = SievoThreadNotice;
#pragma const_seg()
