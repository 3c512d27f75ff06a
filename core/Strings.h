// String resources in the language the run selected. Resource lookup goes
// through the chosen language explicitly (falling back to English), so it
// follows the "Language" preference on every system, Wine included.
#pragma once

#include <windows.h>

#include <string>

// The language chosen by SetUiLanguage; 0 while the system's choice stands.
LANGID SelectedUiLanguage();
void SetSelectedUiLanguage(LANGID lang);

// Selects the language HKLM "Software\Tarnwell Music Software" "Language"
// names; without a known name, the system's UI language when the program has
// it, else English.
void SetUiLanguage();

std::wstring LoadStr(UINT id);

// A resource of the given type in the selected language, else English, else any.
HRSRC FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name);
