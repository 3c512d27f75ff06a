// Lifts every top-level window of the scan thread above all others when it is
// shown: the host's window is usually in front when we start.
#pragma once

void InstallDialogHook();
