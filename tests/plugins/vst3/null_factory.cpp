// GetPluginFactory answers null.
#include "Vst3Kit.h"

VST3_EXPORT bool ExitDll() {
    kit::Trace("ExitDll");
    return true;
}
VST3_EXPORT Steinberg::IPluginFactory* PLUGIN_API GetPluginFactory() {
    kit::Trace("GetPluginFactory");
    return nullptr;
}
