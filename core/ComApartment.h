// COM on the scan's thread, set up the first time something needs it: the
// logging component, a plug-in about to run (VST 3 modules and some VST 2
// plug-ins take it for granted on the thread that calls them), a run with
// dialogs. A sandboxed child that never gets that far does not pay for it.
#pragma once

void EnsureComOnThread();
