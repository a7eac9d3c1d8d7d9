// Measures the updater under Wine. scripts/bench.sh times the copies with
// hyperfine through the one-shot commands and runs `measure` for the rest.
//   bench prepare ROOT          makes the source trees once
//   bench update SOURCE TARGET  one update to its result box, dismissed
//   bench direct SOURCE TARGET  the same copy through direct_copy.exe
//   bench nothing               starts and ends: Wine's own start cost
//   bench measure ROOT          start-up, idle cost and footprint, as key=value
#include "../tests/e2e/harness.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <stdio.h>

#include <algorithm>

static double Now()
{
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) / frequency.QuadPart;
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

static void Prepare(const std::wstring& root)
{
    struct Tree { const wchar_t* name; int folders, files; };
    const Tree trees[] = {{L"t1k", 10, 100}, {L"t10k", 100, 100}};
    for (int t = 0; t < 2; ++t) {
        std::wstring base = Join(root, trees[t].name);
        if (Exists(Join(base, L"done")))
            continue;
        RemoveTree(base);
        for (int d = 0; d < trees[t].folders; ++d)
            for (int f = 0; f < trees[t].files; ++f)
                PutFile(base + L"\\d" + std::to_wstring(d) + L"\\f" + std::to_wstring(f) + L".txt",
                        std::string(1000 + (d * 7 + f * 13) % 3000, static_cast<char>('a' + f % 26)));
        PutFile(Join(base, L"done"), "");
    }
    std::wstring big = Join(root, L"t1g");
    if (!Exists(Join(big, L"done"))) {
        MakeFolders(big);
        HANDLE file = CreateFileW(Join(big, L"big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        std::string block(1 << 20, '\0');
        for (int m = 0; m < 1024; ++m) {
            for (size_t i = 0; i < block.size(); i += 64)
                block[i] = static_cast<char>(m ^ (i >> 6));
            DWORD written;
            WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, NULL);
        }
        CloseHandle(file);
        PutFile(Join(big, L"done"), "");
    }
}

// Looks for the result box with one cheap call every 10 ms: a wider search
// would load the Wine server that the copy itself is waiting on.
static HWND ResultBox(DWORD pid)
{
    for (HWND box = NULL; (box = FindWindowExW(NULL, box, L"#32770", kResultCaption.c_str())) != NULL;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(box, &owner);
        if (owner == pid)
            return box;
    }
    return NULL;
}

static int Update(const std::wstring& source, const std::wstring& target)
{
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(target);
    Started updater = StartUpdater(args);
    HWND box = NULL;
    while (!box && WaitForSingleObject(updater.process, 10) == WAIT_TIMEOUT)
        box = ResultBox(updater.id);
    if (!box)
        return 1;
    std::wstring text = BoxText(box);
    PressButton(box, IDOK);
    return WaitExit(updater, 10000) == 0 && text == kSucceeded ? 0 : 1;
}

static int Direct(const std::wstring& source, const std::wstring& target)
{
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(target);
    return static_cast<int>(WaitExit(StartProgram(Join(DriverFolder(), L"direct_copy.exe"), args), 600000));
}

// Seconds from the process's start until its window of `className` is visible.
static double StartToWindow(const std::wstring& exe, const std::vector<std::wstring>& args, const wchar_t* className)
{
    double start = Now();
    Started p = StartProgram(exe, args);
    double seen = -1;
    while (seen < 0 && Now() - start < 30) {
        if (WaitWindow(p.id, className, 0))
            seen = Now() - start;
        else
            Sleep(1);
    }
    TerminateProcess(p.process, 0);
    WaitExit(p, 5000);
    return seen;
}

// The CPU time of every thread a process has had, in seconds. Handles are
// kept so that a thread that has ended still counts.
struct Threads { DWORD pid; std::vector<DWORD> ids; std::vector<HANDLE> handles; };
static double CpuSeconds(Threads& threads)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != threads.pid ||
            std::find(threads.ids.begin(), threads.ids.end(), entry.th32ThreadID) != threads.ids.end())
            continue;
        if (HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
            threads.ids.push_back(entry.th32ThreadID);
            threads.handles.push_back(thread);
        }
    }
    CloseHandle(snapshot);
    double total = 0;
    for (size_t i = 0; i < threads.handles.size(); ++i) {
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(threads.handles[i], &created, &exited, &kernel, &user))
            total += ((static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                      (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime)) / 1e7;
    }
    return total;
}

static SIZE_T PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    return GetProcessMemoryInfo(process, &memory, sizeof memory) ? memory.PeakWorkingSetSize : 0;
}

static void Measure(const std::wstring& root)
{
    std::wstring source = Join(root, L"t1k");
    std::wstring target = Join(root, L"measure-target");

    // Start-up, alternating the two programs so that both see the same machine.
    std::vector<double> updater, minimal;
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(target);
    for (int i = 0; i < 15; ++i) {
        minimal.push_back(StartToWindow(Join(DriverFolder(), L"minimal_window.exe"), std::vector<std::wstring>(),
                                        L"MinimalWindow"));
        updater.push_back(StartToWindow(Join(DriverFolder(), L"KorvelloUpdater.exe"), args, L"VELQUPDATER"));
    }
    printf("startup_updater_ms=%.1f\nstartup_minimal_ms=%.1f\n", Median(updater) * 1000, Median(minimal) * 1000);

    // Idle cost and footprint: one update whose copy is held still at 95.
    RemoveTree(target);
    Started minimalWindow = StartProgram(Join(DriverFolder(), L"minimal_window.exe"), std::vector<std::wstring>());
    WaitWindow(minimalWindow.id, L"MinimalWindow", 10000);
    Sleep(500);
    SIZE_T minimalPeak = PeakWorkingSet(minimalWindow.process);
    TerminateProcess(minimalWindow.process, 0);

    double start = Now();
    Started p = StartUpdater(args);
    Threads threads = {p.id, std::vector<DWORD>(), std::vector<HANDLE>()};
    HWND main = MainWindowOf(p.id);
    DWORD cmd = 0, xcopy = 0;
    double climbStart = -1, climbCpu0 = 0, climbEnd = -1, climbCpu1 = 0;
    while (Now() - start < 30 && (!xcopy || BarPosition(main) < 95)) {
        double cpu = CpuSeconds(threads);
        int bar = BarPosition(main);
        if (climbStart < 0 && bar >= 1)
            climbStart = Now(), climbCpu0 = cpu;
        Sleep(HoldCopyStep(p.id, &cmd, &xcopy) ? 10 : 1);
    }
    climbEnd = Now(), climbCpu1 = CpuSeconds(threads);
    Sleep(200);
    double idle0 = CpuSeconds(threads), idleStart = Now();
    Sleep(5000);
    double idle1 = CpuSeconds(threads), idleEnd = Now();
    if (xcopy)
        SuspendProcess(xcopy, false);
    HWND box = WaitBox(p.id, 60000, kResultCaption.c_str());
    double total = CpuSeconds(threads);
    SIZE_T peak = PeakWorkingSet(p.process);
    if (box)
        PressButton(box, IDOK);
    WaitExit(p, 10000);
    printf("held=%d\n", xcopy != 0 && box != NULL);
    printf("idle_share_percent=%.3f\n", (idle1 - idle0) / (idleEnd - idleStart) * 100);
    printf("update_cpu_ms=%.1f\nclimb_cpu_ms=%.1f\nclimb_seconds=%.2f\n", total * 1000, (climbCpu1 - climbCpu0) * 1000,
           climbEnd - climbStart);
    printf("peak_working_set_kb=%lu\nminimal_peak_working_set_kb=%lu\n", static_cast<unsigned long>(peak / 1024),
           static_cast<unsigned long>(minimalPeak / 1024));
    EndTracked();
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"prepare" && argc == 3)
        return Prepare(argv[2]), 0;
    if (command == L"update" && argc == 4)
        return Update(argv[2], argv[3]);
    if (command == L"direct" && argc == 4)
        return Direct(argv[2], argv[3]);
    if (command == L"nothing")
        return 0;
    if (command == L"measure" && argc == 3)
        return Measure(argv[2]), g_failures ? 1 : 0;
    printf("usage: bench prepare|update|direct|nothing|measure ...\n");
    return 2;
}
