// A plug-in's own runtime DLL, installed beside the plug-in rather than on
// the system's search path.
#include <windows.h>

extern "C" __declspec(dllexport) int BesideRuntimeAnswer() {
    return 42;
}
