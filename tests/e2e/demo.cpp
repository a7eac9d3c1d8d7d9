// A demo update: an installation with a stand-in Korvello is updated by the
// real program, with screenshots of the progress window and the result box
// and a report of what changed.
#include "harness.h"

#include <stdio.h>

static FILE* g_report;

static void Say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fprintf(g_report, "%s\n", line.c_str());
    fflush(stdout);
}

// Saves what the screen shows inside `rect` as a 24-bit BMP.
static void Screenshot(RECT rect, const std::wstring& path)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    DWORD stride = (width * 3 + 3) & ~3u;
    std::string pixels(stride * height, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<char*>(&info), sizeof info);
    PutFile(path, bytes + pixels);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

static RECT Around(HWND a, HWND b)
{
    RECT ra, rb, both;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    UnionRect(&both, &ra, &rb);
    return both;
}

static void Report(const Tree& before, const Tree& after)
{
    for (Tree::const_iterator a = after.begin(); a != after.end(); ++a) {
        Tree::const_iterator b = before.find(a->first);
        const char* what = b == before.end() ? "added    " :
                           (b->second.hash != a->second.hash || b->second.size != a->second.size) ? "updated  " : "unchanged";
        Say(std::string("  ") + what + " " + Utf8(a->first));
    }
    for (Tree::const_iterator b = before.begin(); b != before.end(); ++b)
        if (!after.count(b->first))
            Say("  removed   " + Utf8(b->first));
}

void DemoScenario()
{
    std::wstring work = FreshWorkFolder(L"demo");
    g_report = _wfopen(Join(work, L"report.txt").c_str(), L"w");
    Install install;
    install.work = work;
    install.source = Join(work, L"\u65B0\u7248\u672C 2.0");     // 新版本 2.0
    install.target = Join(work, L"Korvello \u5B89\u88C5");      // Korvello 安装
    install.korvello = Join(install.target, L"Korvello.exe");
    install.log = Join(work, L"standin.log");
    SetStandInLog(install.log);
    CopyProgram(L"standin_v1.exe", install.korvello);
    PutFile(Join(install.target, L"readme.txt"), "Korvello 1.0\r\n");
    PutFile(Join(install.target, L"data\\settings.ini"), "[user]\r\ntheme=dark\r\n");
    CopyProgram(L"standin_v2.exe", Join(install.source, L"Korvello.exe"));
    PutFile(Join(install.source, L"readme.txt"), "Korvello 2.0\r\n");
    PutFile(Join(install.source, L"plugins\\\u65B0\u529F\u80FD.dll"), "new feature");   // 新功能
    PutFile(Join(install.source, L"lang\\zh-CN.txt"), "\xE6\x9B\xB4\xE6\x96\xB0\r\n");
    Tree before = ReadTree(install.target);

    Started korvello = StartKorvello(install);
    Say("Korvello 1 is running from " + Utf8(install.target) + " as process " + Number(korvello.id));
    Started updater = StartUpdater(UpdateArguments(install, korvello.id));
    HWND main = MainWindowOf(updater.id);
    REQUIRE(main);

    // Hold the copy a moment so that the screenshot catches the bar climbing.
    DWORD cmd = 0, xcopy = 0;
    for (DWORD start = GetTickCount(); !HoldCopyStep(updater.id, &cmd, &xcopy) && GetTickCount() - start < 15000;)
        Sleep(1);
    for (DWORD start = GetTickCount(); BarPosition(main) < 60 && GetTickCount() - start < 10000;)
        Sleep(50);
    RECT window;
    GetWindowRect(main, &window);
    Screenshot(window, Join(work, L"progress.bmp"));
    Say("progress window: bar at " + Number(BarPosition(main)) + ", saved as progress.png");
    if (xcopy)
        SuspendProcess(xcopy, false);

    HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
    REQUIRE(box);
    Sleep(300);
    Screenshot(Around(main, box), Join(work, L"result.bmp"));
    Say("result box: \"" + Utf8(BoxText(box)) + "\", bar at " + Number(BarPosition(main)) + ", saved as result.png");
    PressButton(box, IDOK);
    DWORD code = WaitExit(updater, 10000);
    Say("the updater ended with status " + Number(code) + "; the old Korvello with " + Number(WaitExit(korvello, 0)));

    Say("what changed in " + Utf8(install.target) + ":");
    Report(before, ReadTree(install.target));

    std::string log;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(100)) {
        log = StandInLog(install.log);
        if (log.find("\nv") != std::string::npos)
            break;
    }
    size_t second = log.find("\nv");
    if (second != std::string::npos) {
        unsigned long pid = 0;
        int version = 0, show = 0;
        sscanf(log.c_str() + second + 1, "v%d %lu %d", &version, &pid, &show);
        TrackId(pid);
        HWND back = WaitWindow(pid, L"KorvelloStandIn", 10000);
        Say("Korvello came back in version " + Number(version) + " as process " + Number(pid) + ", window " +
            (back && IsWindowVisible(back) ? "visible: \"" + Utf8(WindowText(back)) + "\"" : "NOT visible"));
    } else {
        Say("Korvello did NOT come back");
        ++g_failures;
    }
    fclose(g_report);
}
