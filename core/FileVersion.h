// The version text of a module file ("1.2.3.4" from its version resource),
// shared by both probes.
#pragma once

#include <cstddef>

// Empty text when the file has no version resource or it cannot be read;
// always terminated within `chars` characters.
void GetFileVersionText(const wchar_t* path, wchar_t* out, size_t chars);
