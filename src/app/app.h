// The application shell: entry point, main window and its controls.
#pragma once
#include <windows.h>

extern int g_argc;
extern LPWSTR* g_argv;
extern wchar_t g_titleText[100];
extern wchar_t g_className[100];
extern HINSTANCE g_instance;
// Written by the main thread once creation returns; the worker waits for it
// before it shows a box owned by the window.
extern HWND volatile g_mainWindow;

extern HWND g_progressBar;
extern HWND g_noticeLabel;
extern WNDPROC g_noticeLabelDefaultProc;
// Set on the main thread when the user confirms closing during the update, so
// that the worker does not start Korvello again behind the user's back.
extern LONG volatile g_closeConfirmed;

void RegisterMainWindowClass(HINSTANCE instance);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK NoticeLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void CenterOnScreen(HWND window);
