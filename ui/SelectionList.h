// The plug-in the properties and details dialogs work on. A hidden list view
// holds every loaded record (item data = the record's address in
// g_ctx.inventory), carries the selection and is rebuilt after a save.
#pragma once

#include <windows.h>

#include "core/InventoryRecord.h"

// The list's selection mark, -1 without a list or a selection.
int SelectionMark();
// Remembered across a refresh.
void RememberSelection(int index);
// The record of the selection mark, or null.
InventoryRecord* SelectedRecord();
// Rebuilds columns and items from g_ctx.inventory and restores the selection.
void RefreshList();
