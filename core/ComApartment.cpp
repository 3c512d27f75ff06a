#include "core/ComApartment.h"

#include <objbase.h>

void EnsureComOnThread() {
    // One thread does all the work; the system takes the apartment down at exit.
    static bool initialised = false;
    if (initialised) return;
    initialised = true;
    CoInitialize(nullptr);
}
