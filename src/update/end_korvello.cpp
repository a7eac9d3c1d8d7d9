// Ends the running Korvello, and nothing else: an id can have passed to
// another program, and the updater runs with administrator rights.
#include <windows.h>

#include "path_inside.h"
#include "update.h"

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

typedef BOOL(WINAPI* QueryImageNameFn)(HANDLE, DWORD, LPWSTR, PDWORD);
typedef DWORD(WINAPI* ModuleFileNameFn)(HANDLE, HMODULE, LPWSTR, DWORD);

// Windows XP lacks QueryFullProcessImageNameW; psapi has the older call.
// Both are looked up at run time so that the program starts on XP.
static QueryImageNameFn QueryImageName()
{
    return reinterpret_cast<QueryImageNameFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW"));
}

static std::wstring ImagePath(HANDLE process, QueryImageNameFn query)
{
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (query) {
        if (!query(process, 0, &image[0], &size))
            return std::wstring();
    } else {
        HMODULE psapi = LoadLibraryW(SystemFilePath(L"psapi.dll").c_str());
        ModuleFileNameFn moduleFileName = psapi ? reinterpret_cast<ModuleFileNameFn>(
                                                      GetProcAddress(psapi, "GetModuleFileNameExW"))
                                                : NULL;
        if (!moduleFileName)
            return std::wstring();
        size = moduleFileName(process, NULL, &image[0], size);
        if (size == 0)
            return std::wstring();
    }
    image.resize(size);
    return image;
}

HANDLE EndKorvello(DWORD processId, const wchar_t* targetFolder)
{
    // The updater itself may live in the installation folder.
    if (processId == 0 || processId == GetCurrentProcessId())
        return NULL;
    QueryImageNameFn query = QueryImageName();
    DWORD access = PROCESS_TERMINATE | SYNCHRONIZE |
                   (query ? PROCESS_QUERY_LIMITED_INFORMATION : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    HANDLE process = OpenProcess(access, FALSE, processId);
    if (!process)
        return NULL;
    std::wstring image = ImagePath(process, query);
    if (image.empty() ||
        !PathIsInsideFolder(NormalPath(image.c_str()), NormalPath(targetFolder))) {
        CloseHandle(process);
        return NULL;
    }
    TerminateProcess(process, 4);
    return process;
}
