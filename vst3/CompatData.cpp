#include "vst3/CompatData.h"

// The registry layout of the lists is not written yet: nothing is stored.
void WriteVSTPersistCompatData(HKEY, const wchar_t*, const CompatList&) {}
void ReadVSTPersistCompatData(HKEY, const wchar_t*, CompatList& entries) { entries.clear(); }
