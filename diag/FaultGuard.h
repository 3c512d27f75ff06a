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

// The code recorded for a C++ exception of our own runtime ("GCC").
constexpr DWORD kCppExceptionCode = 0x20474343;

// Reserves stack for the handler itself, so that an overflow can be caught.
void PrepareGuardStack();
void NoteCppException();

// Calls f(); returns true when it returned normally. C++ exceptions of our
// own runtime are caught here (so their destructors run); everything else
// reaches the frame handler. After a stack overflow the guard page is put
// back so the next overflow is caught too.
template <class F>
bool RunGuarded(F&& f) {
    PrepareGuardStack();
    struct Call {
        std::remove_reference_t<F>* fn;
        bool threw;
    } call{&f, false};
    auto thunk = [](void* p) {
        Call* c = static_cast<Call*>(p);
        try {
            (*c->fn)();
        } catch (...) {
            c->threw = true;
            NoteCppException();
        }
    };
    bool faulted = SievoGuardedCall(thunk, &call) != 0;
    if (faulted) RecoverAfterGuardedException();
    return !faulted && !call.threw;
}
