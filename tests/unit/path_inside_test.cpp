#include <doctest.h>

#include <windows.h>

#include "update/path_inside.h"

TEST_CASE("a file is inside a folder by whole folder names, ignoring case")
{
    struct Case { const wchar_t *path, *folder; bool inside; };
    const Case cases[] = {
        {L"C:\\App\\k.exe", L"C:\\App", true},
        {L"C:\\App\\bin\\k.exe", L"C:\\App", true},
        {L"c:\\app\\K.EXE", L"C:\\APP", true},
        {L"C:\\App\\k.exe", L"C:\\App\\", true},
        {L"C:\\k.exe", L"C:\\", true},
        {L"C:\\Korvello App-old\\k.exe", L"C:\\Korvello App", false},
        {L"C:\\Apps\\k.exe", L"C:\\App", false},
        {L"C:\\App", L"C:\\App", false},
        {L"C:\\App\\", L"C:\\App", false},
        {L"D:\\App\\k.exe", L"C:\\App", false},
        {L"C:\\k.exe", L"C:\\App", false},
        {L"C:\\App\\k.exe", L"", false},
        {L"", L"C:\\App", false},
        {L"C:\\\u5B89\u88C5\\k.exe", L"c:\\\u5B89\u88C5", true},
        {L"C:\\JOS\u00C9\\k.exe", L"C:\\Jos\u00E9", true},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        CAPTURE(c.folder);
        CHECK(PathIsInsideFolder(c.path, c.folder) == c.inside);
    }
}

TEST_CASE("paths are compared in their full form")
{
    wchar_t current[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
    REQUIRE(n > 0);
    std::wstring here(current, n);
    if (here[here.size() - 1] != L'\\')
        here += L'\\';

    CHECK(NormalPath(L"no such folder\\k.exe") == here + L"no such folder\\k.exe");
    CHECK(NormalPath(L"C:\\a\\..\\b\\k.exe") == L"C:\\b\\k.exe");
    CHECK(NormalPath(L"\\\\?\\C:\\no such\\k.exe") == L"C:\\no such\\k.exe");
    CHECK(PathIsInsideFolder(NormalPath(L"sub\\k.exe"), NormalPath(L".")));
}
