// Runs a piece of code under a frame-based exception handler that catches
// everything that reaches it: processor faults, stack overflow, C++ exceptions
// of any runtime (ours included) and raised software exceptions. Being a frame
// handler and not a vectored one, it only sees what the code inside did not
// handle itself: plug-ins that throw and catch internally are left alone.
// The handler lives in a compiler-specific file (FaultGuard_gnu.S for
// mingw-w64, FaultGuard_msvc.cpp for MSVC).
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

extern "C" {
typedef void (*GuardedFn)(void* context);
// Returns 0 when fn returned, 1 when an exception ended it.
int SievoGuardedCall(GuardedFn fn, void* context);
}

// Exception code of the last exception a guard caught.
DWORD LastGuardedExceptionCode();

// Puts back what an exception took (the stack guard page after an overflow).
void RecoverAfterGuardedException();

// Calls f(); returns true when it returned normally. After an exception the
// stack guard page is restored if the exception was a stack overflow.
template <class F>
bool RunGuarded(F&& f) {
    auto thunk = [](void* p) { (*static_cast<std::remove_reference_t<F>*>(p))(); };
    bool ok = SievoGuardedCall(thunk, &f) == 0;
    if (!ok) RecoverAfterGuardedException();
    return ok;
}
