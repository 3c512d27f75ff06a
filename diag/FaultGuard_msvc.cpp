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
