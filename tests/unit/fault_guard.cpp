// The guard every plug-in call and the whole run rely on: it must catch what
// escapes, leave alone what the code handles itself, and survive repeats.
#include <gtest/gtest.h>

#include <stdexcept>

#include "diag/FaultGuard.h"

namespace {

volatile int g_zero = 0;

// Unbounded on purpose: the guard must survive running out of stack.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(int depth) {
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + pad[0];
}
#pragma GCC diagnostic pop

TEST(FaultGuard, CatchesProcessorFaultsAndKeepsTheirCode) {
    EXPECT_FALSE(RunGuarded([] { *static_cast<volatile int*>(nullptr) = 1; }));
    EXPECT_EQ(LastGuardedExceptionCode(), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    EXPECT_FALSE(RunGuarded([] {
        volatile int x = 10 / g_zero;
        (void)x;
    }));
    EXPECT_EQ(LastGuardedExceptionCode(), static_cast<DWORD>(EXCEPTION_INT_DIVIDE_BY_ZERO));

    EXPECT_FALSE(RunGuarded([] { RaiseException(0xE06D7363, 0, 0, nullptr); }));  // another runtime's C++ throw
    EXPECT_EQ(LastGuardedExceptionCode(), 0xE06D7363u);
}

TEST(FaultGuard, CatchesCppExceptionsThatEscape) {
    EXPECT_FALSE(RunGuarded([] { throw 0; }));
    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("plug-in failure"); }));
}

TEST(FaultGuard, LeavesExceptionsTheCodeHandlesItself) {
    int handled = 0;
    EXPECT_TRUE(RunGuarded([&] {
        try {
            throw 42;
        } catch (int v) {
            handled = v;
        }
    }));
    EXPECT_EQ(handled, 42);
}

TEST(FaultGuard, StackOverflowCanBeCaughtAgainAndAgain) {
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(RunGuarded([] { Recurse(0); })) << "round " << round;
        EXPECT_EQ(LastGuardedExceptionCode(), static_cast<DWORD>(EXCEPTION_STACK_OVERFLOW));
    }
}

TEST(FaultGuard, NestedGuardsCatchAtTheInnermost) {
    bool innerCaught = false;
    EXPECT_TRUE(RunGuarded([&] { innerCaught = !RunGuarded([] { *static_cast<volatile int*>(nullptr) = 0; }); }));
    EXPECT_TRUE(innerCaught);
}

TEST(FaultGuard, UnwindsDestructorsOfTheGuardedCode) {
    struct Marker {
        int* count;
        ~Marker() { ++*count; }
    };
    int destroyed = 0;
    EXPECT_FALSE(RunGuarded([&] {
        Marker m{&destroyed};
        throw 1;
    }));
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
