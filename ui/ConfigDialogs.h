// The dialogs of a configuration run. Each one goes through the modal runner
// (nothing is shown in background mode).
#pragma once

#include <windows.h>

// The scan paths dialog (103).
INT_PTR ShowPathsDialog();
// The properties of the plug-in with this class id (selection list + 110);
// ends quietly when no loaded record matches.
void ShowPluginProperties(const GUID& clsid);
// The folder defaults (110 with propsForPlugin 0).
INT_PTR ShowFolderDefaults();
// The properties dialog (110) in the mode propsForPlugin selects.
INT_PTR RunPropertiesDialog();
// The read-only details of the selected plug-in (111).
INT_PTR RunDetailsDialog();
// The reset confirmation (123); 1 when the user answered Yes.
INT_PTR ShowResetDialog();
// The exception report (128).
INT_PTR ShowExceptionDialog();
