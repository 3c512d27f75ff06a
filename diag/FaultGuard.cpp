// Compiler-neutral half of the fault guard: the filter that records what was
// caught, and the clean-up after a stack overflow.
#include "diag/FaultGuard.h"

#include <malloc.h>

namespace {
DWORD g_lastCode = 0;
}

// Called by the frame handler for every exception that reaches a guard.
extern "C" LONG SievoGuardFilter(EXCEPTION_POINTERS* info, void* /*frame*/) {
    g_lastCode = (info && info->ExceptionRecord) ? info->ExceptionRecord->ExceptionCode : 0;
    return EXCEPTION_EXECUTE_HANDLER;
}

DWORD LastGuardedExceptionCode() { return g_lastCode; }

void RecoverAfterGuardedException() {
    // The guard page that turned the overflow into an exception is gone now;
    // without it the next overflow would kill the process outright.
    if (g_lastCode == EXCEPTION_STACK_OVERFLOW) _resetstkoflw();
}
