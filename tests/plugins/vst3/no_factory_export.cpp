// A DLL with the module suffix that exports no GetPluginFactory.
#include "Vst3Kit.h"

VST3_EXPORT bool InitDll() {
    kit::Trace("InitDll");
    return true;
}
VST3_EXPORT int NotAFactory() {
    return 0;
}
