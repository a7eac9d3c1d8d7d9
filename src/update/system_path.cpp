#include "update.h"

std::wstring SystemFilePath(const wchar_t* name)
{
    // An elevated program must not run or load a file that someone placed in
    // its own or its current folder under a system file's name.
    wchar_t folder[MAX_PATH];
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring path(folder, n > 0 && n < MAX_PATH ? n : 0);
    return path + L"\\" + name;
}
