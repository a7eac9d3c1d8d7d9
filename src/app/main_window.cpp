// The updater's only window: a progress bar and a notice not to close it.
#include "../update/update.h"
#include "app.h"
#include "centre.h"

#include <commctrl.h>

HWND g_progressBar = NULL;
HWND g_noticeLabel = NULL;
WNDPROC g_noticeLabelDefaultProc = NULL;
LONG volatile g_closeConfirmed = 0;

// Korvello正在更新，请不要关闭窗口！
static const wchar_t g_noticeText[] =
    L"Korvello\u6B63\u5728\u66F4\u65B0\uFF0C\u8BF7\u4E0D\u8981\u5173\u95ED\u7A97\u53E3\uFF01";
// Korvello正在更新，是否真的退出更新？
static const wchar_t g_closeQuestion[] =
    L"Korvello\u6B63\u5728\u66F4\u65B0\uFF0C\u662F\u5426\u771F\u7684\u9000\u51FA\u66F4\u65B0\uFF1F";
static const wchar_t g_closeCaption[] = L"\u63D0\u793A";  // 提示

void CenterOnScreen(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    POINT origin = CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), rect);
    // Right and bottom as the size: the window comes out 410 x 210. This also
    // shows it already during creation.
    SetWindowPos(window, NULL, origin.x, origin.y, rect.right, rect.bottom, SWP_SHOWWINDOW);
}

static LRESULT OnCreate(HWND window)
{
    CenterOnScreen(window);
    g_progressBar = CreateWindowExW(0, L"msctls_progress32", NULL, WS_CHILD | WS_VISIBLE | PBS_SMOOTH,
                                    10, 40, 370, 25, window, NULL, g_instance, NULL);
    g_noticeLabel = CreateWindowExW(0, L"Static", NULL, WS_CHILD | WS_VISIBLE | SS_CENTER,
                                    10, 75, 370, 25, window, NULL, g_instance, NULL);
    g_noticeLabelDefaultProc = reinterpret_cast<WNDPROC>(
        SetWindowLongW(g_noticeLabel, GWL_WNDPROC, reinterpret_cast<LONG>(NoticeLabelProc)));
    BeginUpdate();
    return 1;
}

// Closing during the update asks first; the job goes on while it asks.
static LRESULT OnClose(HWND window)
{
    if (!g_updating) {
        DestroyWindow(window);
    } else if (MessageBoxW(window, g_closeQuestion, g_closeCaption, MB_YESNO) == IDYES) {
        InterlockedExchange(&g_closeConfirmed, 1);
        DestroyWindow(window);
    }
    return 0;
}

// An empty paint: the controls draw everything there is.
static LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_DESTROY:
        // A close after a failure still ends with the failure's status.
        PostQuitMessage(g_exitStatus);
        return 0;
    case WM_PAINT:
        return OnPaint(window);
    case WM_COMMAND:
        // 104 comes from the Alt+? and Alt+/ accelerators: consumed, no effect.
        if (LOWORD(wParam) == 104 || LOWORD(wParam) == 105)
            return 0;
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The label paints the notice itself, with the device context's defaults.
LRESULT CALLBACK NoticeLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return CallWindowProcW(g_noticeLabelDefaultProc, window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, g_noticeText, static_cast<int>(wcslen(g_noticeText)), &client, DT_CENTER | DT_VCENTER);
    EndPaint(window, &paint);
    return 0;
}
