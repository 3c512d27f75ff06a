// The file version of a plug-in DLL as text ("1.2.3.4"), from its version
// resource. Kept here until the shared reader in vst3/FileVersion.h lands;
// then the probe switches to that one and this file goes.
#pragma once

#include <cstddef>

// Empty text when the file has no version resource; always terminated
// within `chars` characters.
void GetDllVersionText(const wchar_t* path, wchar_t* out, size_t chars);
