// Whether a file lies inside a folder, for deciding which process to end.
#pragma once
#include <string>

// Both are full, long paths. Compared case-insensitively and by whole folder
// names: "C:\App-old\k.exe" is not inside "C:\App".
bool PathIsInsideFolder(const std::wstring& path, const std::wstring& folder);

// A path as the file system names it: absolute, long names, no "\\?\" prefix.
// Parts that do not exist keep the names they were given.
std::wstring NormalPath(const wchar_t* path);
