#include "harness.h"

#include <tlhelp32.h>
#include <stdio.h>

int g_failures = 0;

const std::wstring kTitle = L"Korvello\u66F4\u65B0\u7A0B\u5E8F";
const std::wstring kNotice =
    L"Korvello\u6B63\u5728\u66F4\u65B0\uFF0C\u8BF7\u4E0D\u8981\u5173\u95ED\u7A97\u53E3\uFF01";
const std::wstring kQuestion =
    L"Korvello\u6B63\u5728\u66F4\u65B0\uFF0C\u662F\u5426\u771F\u7684\u9000\u51FA\u66F4\u65B0\uFF1F";
const std::wstring kQuestionCaption = L"\u63D0\u793A";
const std::wstring kResultCaption = L"\u66F4\u65B0";
const std::wstring kSucceeded = L"\u66F4\u65B0\u6210\u529F";
const std::wstring kFailedPrefix = L"\u66F4\u65B0\u5931\u8D25\uFF0C\u9519\u8BEF\u4EE3\u7801\uFF1A";
const std::wstring kRefusedPrefix =
    L"\u66F4\u65B0\u5931\u8D25\uFF0C\u6587\u4EF6\u5939\u8DEF\u5F84\u65E0\u6548\uFF1A";

void Fail(const char* file, int line, const std::string& what)
{
    ++g_failures;
    const char* name = strrchr(file, '/');
    printf("FAILED %s:%d: %s\n", name ? name + 1 : file, line, what.c_str());
    fflush(stdout);
}

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, NULL, NULL);
    return out;
}

std::string Number(unsigned long long n)
{
    char text[32];
    sprintf(text, "%llu", n);
    return text;
}

// ---- files -----------------------------------------------------------------

std::wstring DriverFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder[folder.size() - 1] == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring FreshWorkFolder(const std::wstring& name)
{
    std::wstring bin = DriverFolder();
    std::wstring root = Join(bin.substr(0, bin.rfind(L'\\')), L"e2e-work\\" + name);
    RemoveTree(root);
    MakeFolders(root);
    return root;
}

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), NULL);
    }
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(path, L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = Join(path, name);
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void PutFile(const std::wstring& path, const std::string& content, DWORD attributes)
{
    MakeFolders(path.substr(0, path.rfind(L'\\')));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        Fail(__FILE__, __LINE__, "cannot write " + Utf8(path));
        return;
    }
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, NULL);
    CloseHandle(file);
    if (attributes)
        SetFileAttributesW(path.c_str(), attributes);
}

std::string FileText(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CopyProgram(const wchar_t* program, const std::wstring& to)
{
    MakeFolders(to.substr(0, to.rfind(L'\\')));
    if (!CopyFileW(Join(DriverFolder(), program).c_str(), to.c_str(), FALSE))
        Fail(__FILE__, __LINE__, "cannot copy " + Utf8(program) + " to " + Utf8(to));
}

static unsigned long long HashFile(const std::wstring& path, unsigned long long* size)
{
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    *size = 0;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    static unsigned char buffer[1 << 20];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0) {
        for (DWORD i = 0; i < got; ++i)
            hash = (hash ^ buffer[i]) * 1099511628211ull;
        *size += got;
    }
    CloseHandle(file);
    return hash;
}

static void ReadTreeInto(const std::wstring& root, const std::wstring& relative, Tree& tree)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(Join(root, relative), L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        Entry entry = {false, 0, 0};
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.folder = true;
            tree[rel] = entry;
            ReadTreeInto(root, rel, tree);
        } else {
            entry.hash = HashFile(Join(root, rel), &entry.size);
            tree[rel] = entry;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

Tree ReadTree(const std::wstring& root)
{
    Tree tree;
    ReadTreeInto(root, L"", tree);
    return tree;
}

std::string TreeDifference(const Tree& expected, const Tree& actual)
{
    std::string out;
    int shown = 0;
    for (Tree::const_iterator e = expected.begin(); e != expected.end() && shown < 10; ++e) {
        Tree::const_iterator a = actual.find(e->first);
        if (a == actual.end())
            out += " missing " + Utf8(e->first) + ";", ++shown;
        else if (a->second.folder != e->second.folder || a->second.size != e->second.size ||
                 a->second.hash != e->second.hash)
            out += " differs " + Utf8(e->first) + ";", ++shown;
    }
    for (Tree::const_iterator a = actual.begin(); a != actual.end() && shown < 10; ++a) {
        if (!expected.count(a->first))
            out += " unexpected " + Utf8(a->first) + ";", ++shown;
    }
    return out;
}

Tree Overlay(Tree under, const Tree& over)
{
    for (Tree::const_iterator o = over.begin(); o != over.end(); ++o)
        under[o->first] = o->second;
    return under;
}

// ---- processes -------------------------------------------------------------

static CRITICAL_SECTION g_trackLock;
// Handles stay open so that no id of ours passes to another process meanwhile.
static std::vector<DWORD> g_tracked;
static std::vector<HANDLE> g_trackedHandles;
static struct TrackInit { TrackInit() { InitializeCriticalSection(&g_trackLock); } } g_trackInit;

void TrackId(DWORD id)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, id);
    EnterCriticalSection(&g_trackLock);
    g_tracked.push_back(id);
    if (process)
        g_trackedHandles.push_back(process);
    LeaveCriticalSection(&g_trackLock);
}

void Track(const Started& p)
{
    TrackId(p.id);
}

std::wstring QuoteArgument(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (size_t i = 0; i < arg.size(); ++i) {
        if (arg[i] == L'\\') {
            ++slashes;
            continue;
        }
        if (arg[i] == L'"')
            out.append(slashes * 2 + 1, L'\\');
        else
            out.append(slashes, L'\\');
        slashes = 0;
        out += arg[i];
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

Started StartProgram(const std::wstring& exe, const std::vector<std::wstring>& args, const wchar_t* folder,
                     WORD show, bool quoteArgs)
{
    std::wstring line = QuoteArgument(exe);
    for (size_t i = 0; i < args.size(); ++i)
        line += L" " + (quoteArgs ? QuoteArgument(args[i]) : args[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION info = {};
    Started started = {NULL, 0};
    if (!CreateProcessW(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, folder, &startup, &info)) {
        Fail(__FILE__, __LINE__, "cannot start " + Utf8(line) + ", error " + Number(GetLastError()));
        return started;
    }
    CloseHandle(info.hThread);
    started.process = info.hProcess;
    started.id = info.dwProcessId;
    Track(started);
    return started;
}

Started StartUpdater(const std::vector<std::wstring>& args, const wchar_t* folder)
{
    return StartProgram(Join(DriverFolder(), L"KorvelloUpdater.exe"), args, folder);
}

DWORD WaitExit(const Started& p, DWORD ms)
{
    if (!p.process || WaitForSingleObject(p.process, ms) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(p.process, &code);
    return code;
}

bool Running(const Started& p)
{
    return p.process && WaitForSingleObject(p.process, 0) == WAIT_TIMEOUT;
}

std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* exeName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && (!exeName || !lstrcmpiW(entry.szExeFile, exeName)))
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

int SuspendProcess(DWORD id, bool suspend)
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != id)
            continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        if ((suspend ? SuspendThread(thread) : ResumeThread(thread)) != static_cast<DWORD>(-1))
            ++count;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return count;
}

bool HoldCopyStep(DWORD updater, DWORD* cmd, DWORD* xcopy)
{
    if (*xcopy)
        return true;
    std::vector<DWORD> found = *cmd ? ChildProcesses(*cmd, L"xcopy.exe") : ChildProcesses(updater, L"cmd.exe");
    if (found.empty())
        return false;
    TrackId(found[0]);
    if (!*cmd) {
        *cmd = found[0];
        return false;
    }
    // It may have no thread yet to suspend: then try again next step.
    if (SuspendProcess(found[0], true))
        *xcopy = found[0];
    return *xcopy != 0;
}

std::wstring CommandLineOf(DWORD id)
{
    typedef LONG(WINAPI * QueryFn)(HANDLE, int, PVOID, ULONG, PULONG);
    QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    std::wstring line;
    ULONG_PTR basic[6] = {};  // PROCESS_BASIC_INFORMATION; the PEB address is the second field
    SIZE_T got = 0;
    ULONG_PTR parameters = 0;
    struct { USHORT length, maximum; ULONG_PTR buffer; } text = {};
    // The PEB holds the process parameters at 0x10; they hold the command
    // line at 0x40 (32-bit layout).
    if (process && query && query(process, 0, basic, sizeof basic, NULL) == 0 &&
        ReadProcessMemory(process, reinterpret_cast<void*>(basic[1] + 0x10), &parameters, sizeof parameters, &got) &&
        parameters &&
        ReadProcessMemory(process, reinterpret_cast<void*>(parameters + 0x40), &text, sizeof text, &got) &&
        text.buffer && text.length) {
        line.resize(text.length / 2);
        if (!ReadProcessMemory(process, reinterpret_cast<void*>(text.buffer), &line[0], text.length, &got))
            line.clear();
    }
    if (process)
        CloseHandle(process);
    return line;
}

std::string StandInLog(const std::wstring& log)
{
    return FileText(log);
}

void SetStandInLog(const std::wstring& log)
{
    SetEnvironmentVariableW(L"KORVELLO_STANDIN_LOG", log.c_str());
}

// ---- windows ---------------------------------------------------------------

struct WindowQuery { DWORD pid; const wchar_t* className; const wchar_t* title; HWND found; };

static BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowQuery* q = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[256];
    if ((q->pid && pid != q->pid) || !IsWindowVisible(window) || !GetClassNameW(window, name, 256) ||
        lstrcmpiW(name, q->className))
        return TRUE;
    if (q->title && WindowText(window) != q->title)
        return TRUE;
    q->found = window;
    return FALSE;
}

HWND WaitWindow(DWORD pid, const wchar_t* className, DWORD ms, const wchar_t* title)
{
    DWORD start = GetTickCount();
    for (;;) {
        WindowQuery q = {pid, className, title, NULL};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
        if (q.found || GetTickCount() - start >= ms)
            return q.found;
        Sleep(20);
    }
}

HWND MainWindowOf(DWORD pid, DWORD ms)
{
    // The window is visible already while it creates its controls.
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = WaitWindow(pid, L"VELQUPDATER", 0);
        if (window && FindWindowExW(window, NULL, L"Static", NULL))
            return window;
        if (GetTickCount() - start >= ms)
            return NULL;
        Sleep(20);
    }
}

HWND WaitBox(DWORD pid, DWORD ms, const wchar_t* caption)
{
    return WaitWindow(pid, L"#32770", ms, caption);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024];
    int n = GetWindowTextW(window, text, 1024);
    return std::wstring(text, n > 0 ? n : 0);
}

std::wstring BoxText(HWND box)
{
    // A message box's text is the static control with id 0xFFFF.
    return WindowText(GetDlgItem(box, 0xFFFF));
}

static BOOL CALLBACK FindIcon(HWND child, LPARAM param)
{
    wchar_t name[32];
    if (GetClassNameW(child, name, 32) && !lstrcmpiW(name, L"Static") && IsWindowVisible(child) &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && SendMessageW(child, STM_GETICON, 0, 0)) {
        *reinterpret_cast<bool*>(param) = true;
        return FALSE;
    }
    return TRUE;
}

bool BoxHasIcon(HWND box)
{
    bool found = false;
    EnumChildWindows(box, FindIcon, reinterpret_cast<LPARAM>(&found));
    return found;
}

void PressButton(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

int BarPosition(HWND mainWindow)
{
    HWND bar = FindWindowExW(mainWindow, NULL, L"msctls_progress32", NULL);
    return bar ? static_cast<int>(SendMessageW(bar, 0x0408 /* PBM_GETPOS */, 0, 0)) : -1;
}

// ---- bookkeeping -------------------------------------------------------------

void DismissStrayBoxes()
{
    EnterCriticalSection(&g_trackLock);
    std::vector<DWORD> ids = g_tracked;
    LeaveCriticalSection(&g_trackLock);
    for (size_t i = 0; i < ids.size(); ++i) {
        while (HWND box = WaitBox(ids[i], 0)) {
            Fail(__FILE__, __LINE__, "a box was left open: \"" + Utf8(WindowText(box)) + "\" " +
                                         Utf8(BoxText(box)));
            PostMessageW(box, WM_CLOSE, 0, 0);
            Sleep(200);
            if (WaitBox(ids[i], 0) == box)
                break;
        }
    }
}

void EndTracked()
{
    EnterCriticalSection(&g_trackLock);
    std::vector<DWORD> ids = g_tracked;
    LeaveCriticalSection(&g_trackLock);
    // What a tracked process started (a copy, a relaunch) is ended too; its
    // parent's id is still held, so it cannot be someone else's child.
    for (size_t i = 0; i < ids.size(); ++i) {
        std::vector<DWORD> children = ChildProcesses(ids[i], NULL);
        for (size_t c = 0; c < children.size(); ++c) {
            TrackId(children[c]);
            ids.push_back(children[c]);
        }
    }
    EnterCriticalSection(&g_trackLock);
    std::vector<HANDLE> handles = g_trackedHandles;
    g_trackedHandles.clear();
    g_tracked.clear();
    LeaveCriticalSection(&g_trackLock);
    for (size_t i = 0; i < handles.size(); ++i) {
        TerminateProcess(handles[i], 99);
        CloseHandle(handles[i]);
    }
}

// ---- a demo installation ---------------------------------------------------

Install MakeInstall(const std::wstring& name)
{
    Install install;
    install.work = FreshWorkFolder(name);
    install.source = Join(install.work, L"new");
    install.target = Join(install.work, L"app");
    install.korvello = Join(install.target, L"Korvello.exe");
    install.log = Join(install.work, L"standin.log");
    CopyProgram(L"standin_v2.exe", Join(install.source, L"Korvello.exe"));
    CopyProgram(L"standin_v1.exe", install.korvello);
    SetStandInLog(install.log);
    return install;
}

Started StartKorvello(const Install& install)
{
    Started korvello = StartProgram(install.korvello, std::vector<std::wstring>());
    EXPECT_MSG(WaitWindow(korvello.id, L"KorvelloStandIn", 10000), "the stand-in did not open its window");
    return korvello;
}

std::vector<std::wstring> UpdateArguments(const Install& install, DWORD korvelloId)
{
    std::vector<std::wstring> args;
    args.push_back(install.source);
    args.push_back(install.target);
    args.push_back(std::to_wstring(korvelloId));
    args.push_back(install.korvello);
    return args;
}

std::wstring TakeResult(const Started& updater, DWORD ms)
{
    HWND box = WaitBox(updater.id, ms, kResultCaption.c_str());
    if (!box) {
        Fail(__FILE__, __LINE__, "no result box within " + Number(ms / 1000) + " s");
        return std::wstring();
    }
    std::wstring text = BoxText(box);
    PressButton(box, IDOK);
    return text;
}

// ---- running one update to its end -----------------------------------------

Outcome RunToEnd(const std::vector<std::wstring>& args, const wchar_t* folder, const std::wstring& rawLine,
                 DWORD ms)
{
    Outcome outcome = {std::wstring(), false, STILL_ACTIVE, std::vector<std::wstring>()};
    std::vector<std::wstring> raw(1, rawLine);
    Started updater = rawLine.empty() ? StartUpdater(args, folder)
                                      : StartProgram(Join(DriverFolder(), L"KorvelloUpdater.exe"), raw, folder,
                                                     SW_SHOWNORMAL, false);
    std::vector<DWORD> family(1, updater.id);
    bool answered = false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            bool known = false, child = false;
            for (size_t i = 0; i < family.size(); ++i) {
                known = known || family[i] == entry.th32ProcessID;
                child = child || family[i] == entry.th32ParentProcessID;
            }
            // A process is named only a moment after it appears; and Wine
            // starts its own console host and desktop for a program.
            if (child && !known && entry.szExeFile[0]) {
                family.push_back(entry.th32ProcessID);
                TrackId(entry.th32ProcessID);
                if (lstrcmpiW(entry.szExeFile, L"conhost.exe") && lstrcmpiW(entry.szExeFile, L"explorer.exe"))
                    outcome.programs.push_back(entry.szExeFile);
            }
        }
        CloseHandle(snapshot);
        if (HWND box = WaitBox(updater.id, 0)) {
            if (!answered && WindowText(box) == kResultCaption) {
                outcome.text = BoxText(box);
                outcome.icon = BoxHasIcon(box);
                answered = true;
                PressButton(box, IDOK);
            } else if (answered) {
                PostMessageW(box, WM_CLOSE, 0, 0);   // the shell's word on a missing program
            }
        }
        if (WaitForSingleObject(updater.process, 2) == WAIT_OBJECT_0)
            break;
    }
    outcome.status = WaitExit(updater, 0);
    return outcome;
}

void PutSmallTree(const std::wstring& root)
{
    PutFile(Join(root, L"Korvello.exe"), "program 2");
    PutFile(Join(root, L"readme.txt"), "version 2");
    PutFile(Join(root, L"with blanks\\a b.txt"), "a b");
    PutFile(Join(root, L"\u5B50\u6587\u4EF6\u5939\\\u6587\u4EF6.txt"), "chinese");   // 子文件夹\文件.txt
    MakeFolders(Join(root, L"empty"));
}
