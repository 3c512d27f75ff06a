// Test plug-ins that behave until one dispatcher opcode arrives and then
// fault in a chosen way. Each crash_*.cpp names the opcode and the fault.
#pragma once

#include <stdexcept>

#include "PluginKit.h"

namespace fault_on_opcode {

inline volatile int g_zero = 0;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
// Unbounded on purpose: runs the thread out of stack.
inline int Recurse(int depth) {
    volatile char pad[256];
    pad[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + pad[0];
}
#pragma GCC diagnostic pop

enum class Fault { AccessViolation, CppThrow, DivideByZero, StackOverflow };

template <int32_t Opcode, Fault Kind>
bool Hook(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t* result) {
    if (opcode != Opcode) return false;
    switch (Kind) {
        case Fault::AccessViolation:
            plugin_kit::WriteThroughNull();
            break;
        case Fault::CppThrow:
            throw std::runtime_error("plug-in gave up");
        case Fault::DivideByZero:
            *result = 100 / g_zero;
            return true;
        case Fault::StackOverflow:
            *result = Recurse(0);
            return true;
    }
    return false;
}

inline PluginTraits Traits(const char* name,
                           bool (*hook)(AEffect*, int32_t, int32_t, intptr_t, void*, float, intptr_t*)) {
    PluginTraits s;
    s.name = name;
    s.vendor = "Tarnwell Test Labs";
    s.uniqueId = 0x43525348;  // 'CRSH'
    s.flags = effFlagsHasEditor;
    s.hook = hook;
    return s;
}

}  // namespace fault_on_opcode
