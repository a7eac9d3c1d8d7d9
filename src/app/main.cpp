// Entry point: read the command line, create the window, run the loop.
#include <stdlib.h>

#include "../update/update.h"
#include "app.h"

int g_argc = 0;
LPWSTR* g_argv = NULL;
wchar_t g_titleText[100];
wchar_t g_className[100];
HINSTANCE g_instance = NULL;
HWND volatile g_mainWindow = NULL;

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(130));
    windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = g_className;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(130));
    RegisterClassExW(&windowClass);
}

// The progress bar class lives in comctl32, which registers it on loading;
// without an import of it, nothing else loads it on Windows XP. Loaded from
// the system folder by full path, never from the updater's own folder.
static void LoadCommonControls()
{
    LoadLibraryW(SystemFilePath(L"comctl32.dll").c_str());
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showState)
{
    g_argv = CommandLineToArgvW(GetCommandLineW(), &g_argc);
    // Without both folders there is nothing to do and nothing to say.
    if (!g_argv || g_argc < 3)
        exit(0);

    LoadStringW(instance, 106, g_titleText, 100);
    LoadStringW(instance, 109, g_className, 100);
    LoadCommonControls();
    RegisterMainWindowClass(instance);
    g_instance = instance;

    HWND window = CreateWindowExW(0, g_className, g_titleText,
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  10, 10, 400, 200, NULL, NULL, g_instance, NULL);
    if (!window)
        return 1;
    g_mainWindow = window;

    ShowWindow(window, showState);
    UpdateWindow(window);

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(109));
    MSG message;
    message.wParam = 0;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
