// The yardstick for the copy: the same xcopy through a hidden cmd, started
// the way the updater starts it, and nothing else.
//   direct_copy SOURCE TARGET   exits with the copy's exit code
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc != 3)
        return 2;
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring parameters = std::wstring(L"/C xcopy \"") + argv[1] + L"\" \"" + argv[2] + L"\" /e /i /h /y";
    SHELLEXECUTEINFOW record = {};
    record.cbSize = sizeof record;
    record.fMask = SEE_MASK_NOCLOSEPROCESS;
    record.lpFile = cmd.c_str();
    record.lpParameters = parameters.c_str();
    record.nShow = SW_HIDE;
    if (!ShellExecuteExW(&record) || !record.hProcess)
        return 3;
    WaitForSingleObject(record.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(record.hProcess, &code);
    return static_cast<int>(code);
}
