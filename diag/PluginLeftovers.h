// What a plug-in leaves behind when its probe is over: windows and timers
// whose code lies in its module, and threads it started. A message or a
// thread that reaches the module's code after it is unmapped would take the
// scan down during some later, innocent plug-in's probe.
#pragma once

#include <windows.h>

// Before a probe loads anything: remembers the threads alive now.
void BeginProbeWatch();
// A module the probe loaded (the plug-in itself or the bridge). Its own
// calls of SetTimer are noted from now on: a timer without a window can be
// stopped only by its id.
void WatchModule(HMODULE module);
// Unloads a probed module: destroys this thread's windows whose code lies in
// it and stops its timers first. If a thread that started during the probe
// still runs, the module stays mapped for the rest of the run instead (one
// log line names `path`). Plug-in code runs here (WM_DESTROY): call it under
// the probe guard.
void ReleasePluginModule(HMODULE module, const wchar_t* path);
// After a fault the probe's modules stay mapped, but their windows and
// timers go, so that nothing of theirs runs during a later probe.
void PurgeWatchedModules();
