// Ends the whole process as soon as it is loaded: nothing after LoadLibrary
// runs, so only the crash marker written before it can tell the tale.
#include <windows.h>

#include "PluginKit.h"

PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
    return nullptr;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) ExitProcess(3);
    return TRUE;
}
