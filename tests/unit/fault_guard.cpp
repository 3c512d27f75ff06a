// The guard every plug-in call and the whole run rely on: it must catch what
// escapes, keep the fault's code, leave alone what the code handles itself,
// unwind, nest, and survive running out of stack again and again.
#include <gtest/gtest.h>

#include <stdexcept>

#include "diag/FaultGuard.h"

namespace {

volatile int g_zero = 0;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(int depth) {
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + pad[0];
}
#pragma GCC diagnostic pop

TEST(FaultGuard, CatchesFaultsAndEscapingThrowsWithTheirCodeUnwindsAndNests) {
    const std::pair<void (*)(), DWORD> faults[] = {
        {[] { *static_cast<volatile int*>(nullptr) = 1; }, EXCEPTION_ACCESS_VIOLATION},
        {[] { g_zero = 10 / g_zero; }, EXCEPTION_INT_DIVIDE_BY_ZERO},
        {[] { RaiseException(0xE06D7363, 0, 0, nullptr); }, 0xE06D7363},  // another runtime's C++ throw
        {[] { Recurse(0); }, EXCEPTION_STACK_OVERFLOW},
        {[] { Recurse(0); }, EXCEPTION_STACK_OVERFLOW},  // the stack's guard page is back
    };
    for (const auto& [fault, code] : faults) {
        EXPECT_FALSE(RunGuarded(fault));
        EXPECT_EQ(LastGuardedExceptionCode(), code);
    }
    // Its own C++ exceptions: caught when they escape, after unwinding; left alone when handled.
    int destroyed = 0, handled = 0;
    struct Marker {
        int* count;
        ~Marker() { ++*count; }
    };
    EXPECT_FALSE(RunGuarded([&] {
        Marker m{&destroyed};
        throw std::runtime_error("plug-in failure");
    }));
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(RunGuarded([&] {
        try {
            throw 42;
        } catch (int v) {
            handled = v;
        }
    }));
    EXPECT_EQ(handled, 42);
    bool innerCaught = false;
    EXPECT_TRUE(RunGuarded([&] { innerCaught = !RunGuarded([] { *static_cast<volatile int*>(nullptr) = 0; }); }))
        << "caught at the innermost";
    EXPECT_TRUE(innerCaught);
}

}  // namespace
