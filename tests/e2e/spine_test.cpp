// The window, the command line, ending Korvello and the copy itself.
#include "harness.h"

#include <commctrl.h>

static std::wstring UpdaterPath()
{
    return Join(DriverFolder(), L"KorvelloUpdater.exe");
}

static RECT ChildRect(HWND parent, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

static bool SameRect(const RECT& r, int x, int y, int width, int height)
{
    return r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height;
}

// The resources, read from the file as Windows would find them.
static void CheckResources()
{
    HMODULE exe = LoadLibraryExW(UpdaterPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(exe);
    const WORD chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

    wchar_t text[100];
    EXPECT(LoadStringW(exe, 106, text, 100) && kTitle == text);
    EXPECT(LoadStringW(exe, 109, text, 100) && std::wstring(L"VELQUPDATER") == text);
    EXPECT_MSG(FindResourceExW(exe, RT_STRING, MAKEINTRESOURCEW(106 / 16 + 1), chinese), "strings in 2052");

    HRSRC group = FindResourceExW(exe, RT_GROUP_ICON, MAKEINTRESOURCEW(130), chinese);
    REQUIRE_MSG(group, "icon group 130 in 2052");
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(exe, group)));
    WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    EXPECT(count == 6);
    const int sizes[6] = {256, 128, 64, 48, 32, 16};
    for (int i = 0; i < count && i < 6; ++i) {
        const BYTE* e = dir + 6 + 14 * i;  // GRPICONDIRENTRY
        WORD bits = *reinterpret_cast<const WORD*>(e + 6);
        WORD id = *reinterpret_cast<const WORD*>(e + 12);
        EXPECT_MSG((e[0] ? e[0] : 256) == sizes[i] && (e[1] ? e[1] : 256) == sizes[i], "image " + Number(i + 1));
        EXPECT(bits == 32 && id == i + 1);
        HRSRC image = FindResourceExW(exe, RT_ICON, MAKEINTRESOURCEW(i + 1), chinese);
        if (!EXPECT_MSG(image, "icon image " + Number(i + 1)))
            continue;
        const BITMAPINFOHEADER* header =
            static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(exe, image)));
        EXPECT(header->biSize == 40 && header->biBitCount == 32 && header->biCompression == BI_RGB);
        EXPECT(header->biWidth == sizes[i] && header->biHeight == 2 * sizes[i]);
        // 32-bit pixels followed by a 1-bit mask with rows padded to 4 bytes.
        DWORD expected = 40 + sizes[i] * sizes[i] * 4 + ((sizes[i] + 31) / 32) * 4 * sizes[i];
        EXPECT(SizeofResource(exe, image) == expected);
    }

    HRSRC table = FindResourceExW(exe, RT_ACCELERATOR, MAKEINTRESOURCEW(109), chinese);
    REQUIRE_MSG(table, "accelerators 109 in 2052");
    const WORD* accel = static_cast<const WORD*>(LockResource(LoadResource(exe, table)));
    EXPECT(SizeofResource(exe, table) == 16);
    // Each entry: flags, key, command, padding. Alt, no virtual key; the
    // last entry carries 0x80.
    EXPECT(accel[0] == FALT && accel[1] == '?' && accel[2] == 104);
    EXPECT(accel[4] == (FALT | 0x80) && accel[5] == '/' && accel[6] == 104);

    HRSRC manifest = FindResourceExW(exe, RT_MANIFEST, MAKEINTRESOURCEW(1), english);
    REQUIRE_MSG(manifest, "manifest 1 in 1033");
    std::string xml(static_cast<const char*>(LockResource(LoadResource(exe, manifest))),
                    SizeofResource(exe, manifest));
    EXPECT(xml.find("urn:schemas-microsoft-com:asm.v3") != std::string::npos);
    EXPECT(xml.find("level=\"requireAdministrator\"") != std::string::npos);
    EXPECT(xml.find("uiAccess=\"false\"") != std::string::npos);
    EXPECT(xml.find("dependency") == std::string::npos);
    EXPECT(!FindResourceExW(exe, RT_MANIFEST, MAKEINTRESOURCEW(1), chinese));
    FreeLibrary(exe);
}

// Counts the pixels of the label that differ from its background: the
// notice is painted there and nowhere else in the window.
static int InkedPixels(HWND label)
{
    // Read from the screen: another process's window DC shows nothing of it.
    HDC screen = GetDC(NULL);
    RECT rect;
    GetWindowRect(label, &rect);
    COLORREF background = GetPixel(screen, rect.left, rect.top);
    int inked = 0;
    for (int y = rect.top; y < rect.bottom; y += 1)
        for (int x = rect.left; x < rect.right; x += 2)
            inked += GetPixel(screen, x, y) != background;
    ReleaseDC(NULL, screen);
    return inked;
}

void WindowScenario()
{
    CheckResources();
    Install install = MakeInstall(L"window");
    Started korvello = StartKorvello(install);
    Started updater = StartUpdater(UpdateArguments(install, korvello.id));
    HWND main = MainWindowOf(updater.id);
    REQUIRE_MSG(main, "no window of class VELQUPDATER");

    EXPECT(WindowText(main) == kTitle);
    LONG style = GetWindowLongW(main, GWL_STYLE);
    EXPECT((style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD)) ==
           (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT(GetClassLongW(main, GCL_STYLE) == (CS_HREDRAW | CS_VREDRAW));
    RECT rect;
    GetWindowRect(main, &rect);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_MSG(SameRect(rect, (screenWidth - 410) / 2, (screenHeight - 210) / 2, 410, 210),
               Number(rect.left) + "," + Number(rect.top) + " " + Number(rect.right - rect.left) + "x" +
                   Number(rect.bottom - rect.top));

    HWND bar = FindWindowExW(main, NULL, L"msctls_progress32", NULL);
    HWND label = FindWindowExW(main, NULL, L"Static", NULL);
    REQUIRE(bar && label);
    EXPECT(static_cast<DWORD>(GetWindowLongW(bar, GWL_STYLE)) == 0x50000001);
    EXPECT(static_cast<DWORD>(GetWindowLongW(label, GWL_STYLE)) == 0x50000001);
    EXPECT(SameRect(ChildRect(main, bar), 10, 40, 370, 25));
    EXPECT(SameRect(ChildRect(main, label), 10, 75, 370, 25));
    EXPECT(WindowText(label).empty());
    EXPECT(SendMessageW(bar, PBM_GETRANGE, FALSE, 0) == 100);
    EXPECT_MSG(InkedPixels(label) > 40, "the notice is not painted");

    // Closing asks; No keeps everything running.
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = WaitBox(updater.id, 5000, kQuestionCaption.c_str());
    REQUIRE_MSG(question, "closing did not ask");
    EXPECT(BoxText(question) == kQuestion);
    EXPECT(GetDlgItem(question, IDYES) && GetDlgItem(question, IDNO) && !GetDlgItem(question, IDCANCEL));
    EXPECT(!BoxHasIcon(question));
    PressButton(question, IDNO);
    Sleep(500);
    EXPECT(Running(updater) && IsWindow(main) && !WaitBox(updater.id, 0, kQuestionCaption.c_str()));

    // Yes ends it with status 0, and Korvello is not started again.
    PostMessageW(main, WM_CLOSE, 0, 0);
    question = WaitBox(updater.id, 5000, kQuestionCaption.c_str());
    REQUIRE(question);
    PressButton(question, IDYES);
    EXPECT(WaitExit(updater, 10000) == 0);
    Sleep(1000);
    EXPECT_MSG(FileText(install.log).find("v2") == std::string::npos, "Korvello was started again");
}

// Fewer than two folders: nothing to do, no window, status 0.
void ArgumentsScenario()
{
    std::vector<std::vector<std::wstring> > cases(2);
    cases[1].push_back(L"C:\\only-one");
    for (size_t i = 0; i < cases.size(); ++i) {
        Started updater = StartUpdater(cases[i]);
        DWORD start = GetTickCount(), code = STILL_ACTIVE;
        bool window = false;
        while (code == STILL_ACTIVE && GetTickCount() - start < 10000) {
            window = window || MainWindowOf(updater.id, 0);
            code = WaitExit(updater, 20);
        }
        EXPECT_MSG(code == 0 && !window, Number(i) + " arguments: status " + Number(code));
    }

    // Just the two folders: the update runs and starts nothing afterwards.
    Install install = MakeInstall(L"arguments");
    std::vector<std::wstring> args = UpdateArguments(install, 0);
    args.resize(2);
    Started updater = StartUpdater(args);
    EXPECT(MainWindowOf(updater.id));
    EXPECT(TakeResult(updater) == kSucceeded);
    EXPECT(WaitExit(updater, 10000) == 0);
    EXPECT(FileText(install.korvello) == FileText(Join(install.source, L"Korvello.exe")));
    Sleep(500);
    EXPECT(StandInLog(install.log).empty());
}

// A process that does not live in the installation folder is left alone,
// even when its folder's name begins like the installation's.
void SparesOthersScenario()
{
    Install install = MakeInstall(L"spares-others");
    std::wstring other = install.target + L"-old\\Korvello.exe";
    CopyProgram(L"standin_v1.exe", other);
    Started bystander = StartProgram(other, std::vector<std::wstring>());
    REQUIRE(WaitWindow(bystander.id, L"KorvelloStandIn", 10000));
    Started updater = StartUpdater(UpdateArguments(install, bystander.id));
    EXPECT(TakeResult(updater) == kSucceeded);
    EXPECT(WaitExit(updater, 10000) == 0);
    EXPECT(Running(bystander));
    EXPECT(FileText(install.korvello) == FileText(Join(install.source, L"Korvello.exe")));
}

// A tree with blanks, Chinese names, a hidden file and empty folders lands
// on the installation; what only the installation has stays.
void TreeScenario()
{
    std::wstring work = FreshWorkFolder(L"tree");
    std::wstring source = Join(work, L"\u65B0\u7248\u672C files");          // 新版本 files
    std::wstring target = Join(work, L"\u5B89\u88C5 \u76EE\u5F55");         // 安装 目录
    PutFile(Join(source, L"a.txt"), "new a");
    PutFile(Join(source, L"\u5B50\u6587\u4EF6\u5939\\b.txt"), "new b");      // 子文件夹
    PutFile(Join(source, L"with blanks\\c d.txt"), "new c d");
    PutFile(Join(source, L"secret.dat"), "hidden", FILE_ATTRIBUTE_HIDDEN);
    MakeFolders(Join(source, L"empty"));
    MakeFolders(Join(source, L"deep\\er\\est"));
    PutFile(Join(target, L"a.txt"), "old a, longer than the new one");
    PutFile(Join(target, L"keep.txt"), "only the installation has this");
    PutFile(Join(target, L"\u5B50\u6587\u4EF6\u5939\\old.txt"), "old");
    Tree expected = Overlay(ReadTree(target), ReadTree(source));

    std::vector<std::wstring> args;
    args.push_back(source + L"\\");   // a trailing backslash, as a folder may come
    args.push_back(target);
    args.push_back(L"");
    args.push_back(L"");
    Started updater = StartUpdater(args);
    EXPECT(TakeResult(updater) == kSucceeded);
    EXPECT(WaitExit(updater, 10000) == 0);
    Tree actual = ReadTree(target);
    EXPECT_MSG(TreeDifference(expected, actual).empty(), TreeDifference(expected, actual));
}

// While the copy is held still the bar climbs to 95 and stays there; when it
// ends, the bar shows 100. The interpreter gets the command by full paths.
void HoldScenario()
{
    Install install = MakeInstall(L"hold");
    std::vector<std::wstring> args = UpdateArguments(install, 0);
    args[0] += L"\\";
    Started updater = StartUpdater(args);
    HWND main = MainWindowOf(updater.id);
    REQUIRE(main);

    DWORD cmd = 0, xcopy = 0, start = GetTickCount();
    std::vector<int> climb;
    while (!HoldCopyStep(updater.id, &cmd, &xcopy) && GetTickCount() - start < 15000) {
        if (climb.size() < 2000)
            climb.push_back(BarPosition(main));
        Sleep(1);
    }
    REQUIRE_MSG(xcopy, "the copy was not seen in time to hold it");

    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring expected = std::wstring(L"/D /V:OFF /C \"\"") + system + L"\\xcopy.exe\" \"" + install.source +
                            L"\\\\\" \"" + install.target + L"\" /e /i /h /y\"";
    std::wstring line = CommandLineOf(cmd);
    EXPECT_MSG(line.size() > expected.size() && line.compare(line.size() - expected.size(), expected.size(), expected) == 0 &&
                   line.find(std::wstring(system) + L"\\cmd.exe") != std::wstring::npos,
               Utf8(line));

    start = GetTickCount();
    while (GetTickCount() - start < 15000) {
        climb.push_back(BarPosition(main));
        if (climb.back() >= 95)
            break;
        Sleep(50);
    }
    for (size_t i = 1; i < climb.size(); ++i)
        EXPECT_MSG(climb[i] >= climb[i - 1], "the bar went back from " + Number(climb[i - 1]));
    REQUIRE_MSG(climb.back() == 95, "the bar stopped at " + Number(climb.back()));
    // Held until about 10 s after the copy began.
    for (int i = 0; i < 40; ++i) {
        Sleep(100);
        if (!EXPECT(BarPosition(main) == 95 && !WaitBox(updater.id, 0)))
            break;
    }

    SuspendProcess(xcopy, false);
    HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
    REQUIRE(box);
    EXPECT(BarPosition(main) == 100);
    EXPECT(BoxText(box) == kSucceeded);
    PressButton(box, IDOK);
    EXPECT(WaitExit(updater, 10000) == 0);
}
