// The dialogs of a configuration run.
#pragma once

#include <windows.h>

// The scan paths dialog (103) through the modal runner.
INT_PTR ShowPathsDialog();
// The properties of the plug-in with this class id (selection list + 110).
void ShowPluginProperties(const GUID& clsid);
// The folder defaults (110 in defaults mode).
INT_PTR ShowFolderDefaults();
// The reset confirmation (123); nonzero when the user answered Yes.
INT_PTR ShowResetDialog();
// The exception report (128).
INT_PTR ShowExceptionDialog();
