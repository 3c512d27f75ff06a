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

DWORD LastGuardedExceptionCode() {
    return g_lastCode;
}

void NoteCppException() {
    g_lastCode = kCppExceptionCode;
}

namespace {

constexpr ULONG kPage = 4096;
constexpr ULONG kHandlerReserve = 64 * 1024;

// Where a thread's stack is committed all the way down (Wine does this for
// the main thread), the only guard page sits at the very bottom and an
// overflow leaves no room to handle it. A guard page above the reserve makes
// the overflow arrive while the reserve is still there.
void ArmStackGuard() {
    MEMORY_BASIC_INFORMATION self{};
    if (!VirtualQuery(&self, &self, sizeof self)) return;
    char* guard = static_cast<char*>(self.AllocationBase) + kPage + kHandlerReserve + kPage;
    MEMORY_BASIC_INFORMATION page{};
    if (!VirtualQuery(guard, &page, sizeof page) || page.State != MEM_COMMIT || (page.Protect & PAGE_GUARD)) return;
    if (reinterpret_cast<char*>(&page) <= guard + kPage) return;  // already that deep
    DWORD old = 0;
    VirtualProtect(guard, kPage, PAGE_READWRITE | PAGE_GUARD, &old);
}

}  // namespace

void PrepareGuardStack() {
    static thread_local bool prepared = false;
    if (prepared) return;
    prepared = true;
    ULONG bytes = kHandlerReserve;
    SetThreadStackGuarantee(&bytes);
    ArmStackGuard();
}

void RecoverAfterGuardedException() {
    // The guard page that turned the overflow into an exception is gone now;
    // without it the next overflow would kill the process outright.
    if (g_lastCode != EXCEPTION_STACK_OVERFLOW) return;
    _resetstkoflw();
    ArmStackGuard();
}
