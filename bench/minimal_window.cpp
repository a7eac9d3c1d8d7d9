// The yardstick for start-up: a Win32 program that only opens a window.
#include <windows.h>

static LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showState)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MinimalProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"MinimalWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"MinimalWindow", L"Minimal", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
                                  10, 10, 410, 210, NULL, NULL, instance, NULL);
    ShowWindow(window, showState);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
