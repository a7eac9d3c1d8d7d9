#include "path_inside.h"

#include <windows.h>

static std::wstring Upper(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool PathIsInsideFolder(const std::wstring& path, const std::wstring& folder)
{
    size_t end = folder.size();
    while (end > 0 && folder[end - 1] == L'\\')
        --end;
    if (end == 0 || path.size() <= end + 1 || path[end] != L'\\')
        return false;
    return Upper(path.substr(0, end)) == Upper(folder.substr(0, end));
}

static std::wstring WithoutLongPrefix(std::wstring path)
{
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\" + path.substr(7);
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\??\\") == 0)
        return path.substr(4);
    return path;
}

std::wstring NormalPath(const wchar_t* path)
{
    std::wstring full(32768, L'\0');
    DWORD n = GetFullPathNameW(path, static_cast<DWORD>(full.size()), &full[0], NULL);
    if (n == 0 || n >= full.size())
        return WithoutLongPrefix(path);
    full.resize(n);
    std::wstring longer(32768, L'\0');
    n = GetLongPathNameW(full.c_str(), &longer[0], static_cast<DWORD>(longer.size()));
    if (n == 0 || n >= longer.size())
        return WithoutLongPrefix(full);
    longer.resize(n);
    return WithoutLongPrefix(longer);
}
