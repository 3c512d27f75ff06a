// Names of record keys under Inventory. A module's key is its path with "/"
// for "\"; a path too long for a registry key name gets a shortened name
// that stays the same from scan to scan, so its record (and its crash mark)
// is found again like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Longest key name the registry takes (Windows; Wine allows one more).
constexpr size_t kMaxKeyNameChars = 255;
// Length of a shortened name: leaves room for a shell member's "*<id> <name>".
constexpr size_t kShortKeyNameChars = 200;

// Writes the key name of `path` into `out` (`limit` characters with the
// terminator). Returns true when the name had to be shortened: the path's
// leading part, "~" and a hash of the whole path in lower case.
bool MakeInventoryKeyName(const wchar_t* path, size_t limit, wchar_t* out);

// "<owner>*<id> <name>" with "/" for "\\" in the name, cut so that the whole
// fits a key name.
std::wstring MakeSubRecordKeyName(const std::wstring& owner, int32_t uniqueId, const wchar_t* name);
