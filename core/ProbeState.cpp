#include "core/ProbeState.h"

int64_t g_currentPluginId = 0;
uint32_t g_eventsFlag = 0;
wchar_t g_bridgePath[260] = {};
