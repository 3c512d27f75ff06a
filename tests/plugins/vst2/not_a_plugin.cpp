// A DLL with no plug-in entry point at all.
#include <windows.h>

extern "C" __declspec(dllexport) int Helper(int x) {
    return x + 1;
}
