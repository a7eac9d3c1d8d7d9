// A stand-in for Korvello: opens a visible window whose title names its
// version, and notes each start in the log named by KORVELLO_STANDIN_LOG as
// "v<version> <process id> <show state>". It runs until it is ended.
#include <windows.h>
#include <stdio.h>

#ifndef STANDIN_VERSION
#define STANDIN_VERSION 1
#endif

static LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

static void NoteStart(int showState)
{
    wchar_t log[MAX_PATH];
    if (!GetEnvironmentVariableW(L"KORVELLO_STANDIN_LOG", log, MAX_PATH))
        return;
    char line[64];
    int n = sprintf(line, "v%d %lu %d\n", STANDIN_VERSION, GetCurrentProcessId(), showState);
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(file, line, n, &written, NULL);
    CloseHandle(file);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showState)
{
    NoteStart(showState);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"KorvelloStandIn";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    wchar_t title[64];
    swprintf(title, 64, L"Korvello stand-in v%d", STANDIN_VERSION);
    HWND window = CreateWindowExW(0, L"KorvelloStandIn", title, WS_OVERLAPPEDWINDOW, 20, 20, 300, 120,
                                  NULL, NULL, instance, NULL);
    ShowWindow(window, showState);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
