// Hostile input, faults in the target and scale: the updater ends only
// Korvello, runs only xcopy, copies exactly the tree it was given or says it
// did not, and never claims success for a copy that failed.
#include "harness.h"

#include <psapi.h>
#include <stdio.h>

enum Expect { COPIES, REFUSED, EITHER };

// Runs every job's update at once, one thread each; Wine runs them side by side.
struct Job { std::vector<std::wstring> args; std::wstring folder, raw; Outcome outcome; };
static DWORD WINAPI RunJob(LPVOID param)
{
    Job* job = static_cast<Job*>(param);
    job->outcome = RunToEnd(job->args, job->folder.empty() ? NULL : job->folder.c_str(), job->raw);
    return 0;
}
static void RunTogether(std::vector<Job>& jobs)
{
    std::vector<HANDLE> threads;
    for (size_t i = 0; i < jobs.size(); ++i)
        threads.push_back(CreateThread(NULL, 0, RunJob, &jobs[i], 0, NULL));
    for (size_t i = 0; i < threads.size(); ++i) {
        WaitForSingleObject(threads[i], INFINITE);
        CloseHandle(threads[i]);
    }
}

// Only one interpreter and one xcopy, ever.
static void ExpectOnlyTheCopy(const std::string& name, const Outcome& o)
{
    int cmd = 0, xcopy = 0;
    std::string names;
    for (size_t i = 0; i < o.programs.size(); ++i) {
        names += " " + Utf8(o.programs[i]);
        cmd += !lstrcmpiW(o.programs[i].c_str(), L"cmd.exe");
        xcopy += !lstrcmpiW(o.programs[i].c_str(), L"xcopy.exe");
    }
    EXPECT_MSG(cmd <= 1 && xcopy <= 1 && cmd + xcopy == static_cast<int>(o.programs.size()),
               name + ": started" + names);
}

static void ExpectResult(const std::string& name, const Outcome& o, Expect expect, const Tree& before,
                         const Tree& source, const std::wstring& target, const std::wstring& refused)
{
    ExpectOnlyTheCopy(name, o);
    Tree after = ReadTree(target);
    bool succeeded = o.text == kSucceeded;
    if (expect == COPIES || (expect == EITHER && succeeded)) {
        EXPECT_MSG(succeeded && o.status == 0, name + ": " + Utf8(o.text) + ", status " + Number(o.status));
        EXPECT_MSG(TreeDifference(Overlay(before, source), after).empty(),
                   name + ":" + TreeDifference(Overlay(before, source), after));
    } else if (expect == REFUSED) {
        EXPECT_MSG(o.text == kRefusedPrefix + refused && o.icon && o.status == 1,
                   name + ": " + Utf8(o.text) + ", status " + Number(o.status));
        EXPECT_MSG(o.programs.empty(), name + ": started a program");
        EXPECT_MSG(TreeDifference(before, after).empty(), name + ":" + TreeDifference(before, after));
    } else {
        bool failed = o.text.compare(0, kFailedPrefix.size(), kFailedPrefix) == 0 ||
                      o.text.compare(0, kRefusedPrefix.size(), kRefusedPrefix) == 0;
        EXPECT_MSG(failed && o.icon && o.status == 1, name + ": " + Utf8(o.text) + ", status " + Number(o.status));
    }
}

static std::wstring Slot(const std::wstring& line, int slot)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    std::wstring value = slot < count ? argv[slot] : L"";
    LocalFree(argv);
    return value;
}

// Folder names that cmd or xcopy might read as something else.
void HostileFoldersScenario()
{
    std::wstring work = FreshWorkFolder(L"hostile-folders");
    std::wstring marker = Join(work, L"pwned.txt");
    std::wstring updater = Join(DriverFolder(), L"KorvelloUpdater.exe");
    std::wstring deep = Join(work, std::wstring(100, L'd') + L"\\" + std::wstring(100, L'e') + L"\\" +
                                       std::wstring(80, L'f'));
    struct Case { const char* name; std::wstring source, target, raw; Expect expect; };
    std::wstring w = work + L"\\";
    const Case cases[] = {
        {"quote through escaping", w + L"q-new", w + L"q-app",
         QuoteArgument(updater) + L" \"" + w + L"q-new\\\" & echo x > \"" + marker + L"\" & \\\"\" \"" + w +
             L"q-app\" \"\" \"\"", REFUSED},
        {"%PATH% in the source", w + L"%PATH%", w + L"path-app", L"", REFUSED},
        {"%COMSPEC% in the target", w + L"comspec-new", w + L"%COMSPEC%", L"", REFUSED},
        {"cmd's own characters", w + L"a&b^c(d)e!f", w + L"x & y ^(z)! w", L"", COPIES},
        {"!PATH! stays literal", w + L"!PATH! new", w + L"!PATH! app", L"", COPIES},
        {"a bar", w + L"bar-new", w + L"a|b", L"", REFUSED},
        {"a wildcard", w + L"*", w + L"star-app", L"", REFUSED},
        {"relative folders", L"rel-new", L"rel-app\\", L"", COPIES},
        {"a long-path prefix", L"\\\\?\\" + w + L"lp-new", w + L"lp-app", L"", REFUSED},
        {"a network share", L"\\\\nosuchserver\\share\\new", w + L"unc-app", L"", EITHER},
        {"over 260 characters", deep + L"\\new", deep + L"\\app", L"", EITHER},
    };
    const size_t n = sizeof cases / sizeof cases[0];
    std::vector<Job> jobs(n);
    std::vector<Tree> before(n), source(n);
    std::vector<std::wstring> targets(n), refused(n);
    for (size_t i = 0; i < n; ++i) {
        const Case& c = cases[i];
        // What the updater will see in its slots, after the command line's rules.
        std::wstring src = c.raw.empty() ? c.source : Slot(c.raw, 1);
        std::wstring tgt = c.raw.empty() ? c.target : Slot(c.raw, 2);
        refused[i] = src.find_first_of(L"\"%*?|") != std::wstring::npos || src.compare(0, 4, L"\\\\?\\") == 0 ? src : tgt;
        bool relative = src.find(L':') == std::wstring::npos && src[0] != L'\\';
        std::wstring realSource = relative ? Join(work, src) : src;
        targets[i] = relative ? Join(work, tgt) : tgt;
        // Through the long-path prefix, so that the deep folders can be made.
        if (src.find_first_of(L"*?|\"") == std::wstring::npos && src.compare(0, 2, L"\\\\") != 0)
            PutSmallTree(L"\\\\?\\" + realSource);
        if (tgt.find_first_of(L"*?|\"") == std::wstring::npos)
            PutFile(L"\\\\?\\" + Join(targets[i], L"keep.txt"), "only here");
        before[i] = ReadTree(L"\\\\?\\" + targets[i]);
        source[i] = ReadTree(L"\\\\?\\" + realSource);
        jobs[i].args.push_back(c.source);
        jobs[i].args.push_back(c.target);
        jobs[i].args.push_back(L"");
        jobs[i].args.push_back(L"");
        jobs[i].raw = c.raw;
        jobs[i].folder = work;
    }
    RunTogether(jobs);
    for (size_t i = 0; i < n; ++i)
        ExpectResult(cases[i].name, jobs[i].outcome, cases[i].expect, before[i], source[i],
                     L"\\\\?\\" + targets[i], refused[i]);
    EXPECT_MSG(!Exists(marker), "an injected command ran");
}

// Whatever slot 3 holds, only a process in the installation is ended, and the
// copy runs.
void ProcessIdsScenario()
{
    struct Case { const char* name; const wchar_t* id; bool useKorvello, ended; };
    const Case cases[] = {
        {"empty", L"", false, false},
        {"blank", L" ", false, false},
        {"letters", L"abc", false, false},
        {"minus one", L"-1", false, false},
        {"zero", L"0", false, false},
        {"too large", L"99999999999", false, false},
        {"blanks and a sign", NULL, true, true},
        {"an ended process", NULL, false, false},
        {"the updater's parent", NULL, false, false},
    };
    const size_t n = sizeof cases / sizeof cases[0];
    std::vector<Install> installs(n);
    std::vector<Started> korvellos(n);
    std::vector<Job> jobs(n);
    for (size_t i = 0; i < n; ++i) {
        installs[i] = MakeInstall(L"process-id-" + std::to_wstring(i));
        std::wstring id = cases[i].id ? cases[i].id : L"";
        if (cases[i].useKorvello) {
            korvellos[i] = StartKorvello(installs[i]);
            id = L" \t+" + std::to_wstring(korvellos[i].id);
        } else if (std::string(cases[i].name) == "an ended process") {
            Started gone = StartKorvello(installs[i]);
            TerminateProcess(gone.process, 0);
            WaitExit(gone, 5000);
            id = std::to_wstring(gone.id);
        } else if (std::string(cases[i].name) == "the updater's parent") {
            id = std::to_wstring(GetCurrentProcessId());
        }
        jobs[i].args = UpdateArguments(installs[i], 0);
        jobs[i].args[2] = id;
        jobs[i].args[3] = L"";
    }
    RunTogether(jobs);
    for (size_t i = 0; i < n; ++i) {
        const Outcome& o = jobs[i].outcome;
        EXPECT_MSG(o.text == kSucceeded && o.status == 0, std::string(cases[i].name) + ": " + Utf8(o.text));
        EXPECT_MSG(FileText(installs[i].korvello) == FileText(Join(installs[i].source, L"Korvello.exe")),
                   std::string(cases[i].name) + ": not copied");
        if (cases[i].useKorvello)
            EXPECT_MSG(WaitExit(korvellos[i], 0) == 4, std::string(cases[i].name) + ": Korvello not ended with 4");
    }
}

// A cmd.exe or xcopy.exe beside the updater or in its current folder is never run.
void PlantedCmdScenario()
{
    Install install = MakeInstall(L"planted-cmd");
    std::wstring own = Join(install.work, L"updater");
    std::wstring current = Join(install.work, L"current");
    CopyProgram(L"KorvelloUpdater.exe", Join(own, L"KorvelloUpdater.exe"));
    const wchar_t* names[] = {L"cmd.exe", L"xcopy.exe"};
    for (int i = 0; i < 2; ++i) {
        CopyProgram(L"standin_v1.exe", Join(own, names[i]));
        CopyProgram(L"standin_v1.exe", Join(current, names[i]));
    }
    std::vector<std::wstring> args = UpdateArguments(install, 0);
    args[3] = L"";
    Started updater = StartProgram(Join(own, L"KorvelloUpdater.exe"), args, current.c_str());
    EXPECT(MainWindowOf(updater.id));
    EXPECT(TakeResult(updater) == kSucceeded);
    EXPECT(WaitExit(updater, 10000) == 0);
    EXPECT(FileText(install.korvello) == FileText(Join(install.source, L"Korvello.exe")));
    EXPECT_MSG(StandInLog(install.log).empty(), "a planted program ran: " + StandInLog(install.log));
}

// Names the ANSI code page holds are copied; others are refused, never
// turned into wildcards.
void CodePageScenario()
{
    std::wstring work = FreshWorkFolder(L"codepage-" + std::to_wstring(GetACP()));
    struct Case { const char* name; std::wstring source, target; Expect expect; };
    std::wstring w = work + L"\\";
    std::vector<Case> cases;
    cases.push_back(Case{"accented", w + L"Jos\u00E9 new", w + L"Jos\u00E9 app", COPIES});
    if (GetACP() == 936) {
        cases.push_back(Case{"chinese", w + L"\u65B0\u7248\u672C", w + L"\u5B89\u88C5", COPIES});
    } else {
        cases.push_back(Case{"chinese source", w + L"\u65B0\u7248\u672C", w + L"cn-app", REFUSED});
        cases.push_back(Case{"chinese target", w + L"cn-new", w + L"\u5B89\u88C5", REFUSED});
        // 安装 would come out as "??", a wildcard that names this folder.
        PutFile(Join(work, L"xy\\keep.txt"), "decoy");
    }
    std::vector<Job> jobs(cases.size());
    std::vector<Tree> before(cases.size()), source(cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        PutSmallTree(cases[i].source);
        PutFile(Join(cases[i].target, L"keep.txt"), "only here");
        before[i] = ReadTree(cases[i].target);
        source[i] = ReadTree(cases[i].source);
        jobs[i].args.push_back(cases[i].source);
        jobs[i].args.push_back(cases[i].target);
    }
    Tree decoy = ReadTree(Join(work, L"xy"));
    RunTogether(jobs);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ExpectResult(c.name, jobs[i].outcome, c.expect, before[i], source[i], c.target,
                     c.expect == REFUSED && c.target.find(L"\u5B89") != std::wstring::npos ? c.target : c.source);
    }
    EXPECT(TreeDifference(decoy, ReadTree(Join(work, L"xy"))).empty());
}

// Closing with Yes while the copy runs ends the updater with 0; the copy
// goes on to its end and Korvello is not started.
void CloseDuringCopyScenario()
{
    Install install = MakeInstall(L"close-during-copy");
    PutSmallTree(install.source);
    Tree expected = Overlay(ReadTree(install.target), ReadTree(install.source));
    Started updater = StartUpdater(UpdateArguments(install, 0));
    HWND main = MainWindowOf(updater.id);
    REQUIRE(main);
    DWORD cmd = 0, xcopy = 0;
    for (DWORD start = GetTickCount(); !HoldCopyStep(updater.id, &cmd, &xcopy) && GetTickCount() - start < 15000;)
        Sleep(1);
    REQUIRE_MSG(xcopy, "the copy was not seen in time to hold it");
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = WaitBox(updater.id, 5000, kQuestionCaption.c_str());
    REQUIRE(question);
    PressButton(question, IDYES);
    EXPECT(WaitExit(updater, 10000) == 0);
    HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, cmd);
    SuspendProcess(xcopy, false);
    EXPECT_MSG(copy && WaitForSingleObject(copy, 30000) == WAIT_OBJECT_0, "the copy did not run to its end");
    EXPECT(TreeDifference(expected, ReadTree(install.target)).empty());
    Sleep(500);
    EXPECT(StandInLog(install.log).empty());
}

// Read-only and hidden files in the installation, and an installation folder
// that does not exist yet: the box tells the truth each time.
void TargetFaultsScenario()
{
    std::wstring work = FreshWorkFolder(L"target-faults");
    struct Case { const char* name; const wchar_t* folder; DWORD attributes; Expect expect; };
    const Case cases[] = {
        {"read-only file", L"readonly", FILE_ATTRIBUTE_READONLY, EITHER},
        {"hidden file", L"hidden", FILE_ATTRIBUTE_HIDDEN, EITHER},
        {"missing folder", L"not\\yet\\there", 0, COPIES},
    };
    const size_t n = sizeof cases / sizeof cases[0];
    std::vector<Job> jobs(n);
    std::vector<Tree> before(n), source(n);
    for (size_t i = 0; i < n; ++i) {
        std::wstring src = Join(work, std::wstring(cases[i].folder).substr(0, 3) + L"-new");
        std::wstring tgt = Join(work, cases[i].folder);
        PutSmallTree(src);
        if (cases[i].attributes)
            PutFile(Join(tgt, L"readme.txt"), "version 1, protected", cases[i].attributes);
        before[i] = ReadTree(tgt);
        source[i] = ReadTree(src);
        jobs[i].args.push_back(src);
        jobs[i].args.push_back(tgt);
    }
    RunTogether(jobs);
    for (size_t i = 0; i < n; ++i) {
        printf("%s: %s, status %lu\n", cases[i].name, Utf8(jobs[i].outcome.text).c_str(), jobs[i].outcome.status);
        ExpectResult(cases[i].name, jobs[i].outcome, cases[i].expect, before[i], source[i],
                     Join(work, cases[i].folder), L"");
    }
}

// A target on a small disk that the new files do not fit on: the copy fails,
// and the box says so. The test command mounts the disk and names it in
// KORVELLO_SMALL_DISK (a Unix path).
void DiskFullScenario()
{
    char unixPath[MAX_PATH];
    REQUIRE_MSG(GetEnvironmentVariableA("KORVELLO_SMALL_DISK", unixPath, MAX_PATH), "no small disk given");
    std::wstring target = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        target += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    std::wstring work = FreshWorkFolder(L"disk-full");
    std::wstring source = Join(work, L"new");
    PutSmallTree(source);
    PutFile(Join(source, L"big.bin"), std::string(8 << 20, 'x'));
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(target);
    Outcome o = RunToEnd(args);
    EXPECT_MSG(o.text.compare(0, kFailedPrefix.size(), kFailedPrefix) == 0 && o.icon && o.status == 1,
               Utf8(o.text) + ", status " + Number(o.status));
}

static std::string Megabytes(SIZE_T bytes)
{
    return Number(bytes / (1024 * 1024)) + "." + Number((bytes % (1024 * 1024)) * 10 / (1024 * 1024)) + " MB";
}

// Runs one update to a successful end and returns the updater's peak
// working set, sampled while it runs.
static SIZE_T MeasuredUpdate(const std::wstring& source, const std::wstring& target, DWORD* seconds)
{
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(target);
    Started updater = StartUpdater(args);
    HWND box = NULL;
    PROCESS_MEMORY_COUNTERS memory = {};
    DWORD start = GetTickCount();
    while (!box && GetTickCount() - start < 420000) {
        PROCESS_MEMORY_COUNTERS now = {};
        now.cb = sizeof now;
        if (GetProcessMemoryInfo(updater.process, &now, sizeof now))
            memory = now;
        box = WaitBox(updater.id, 0, kResultCaption.c_str());
        Sleep(200);
    }
    *seconds = (GetTickCount() - start) / 1000;
    EXPECT_MSG(box && BoxText(box) == kSucceeded, "no success within 7 minutes");
    if (box)
        PressButton(box, IDOK);
    EXPECT(WaitExit(updater, 10000) == 0);
    return memory.PeakWorkingSetSize;
}

// 20,000 files in nested folders and one file of 1 GiB arrive whole; what
// only the installation has stays; the updater's memory stays small.
void ScaleScenario()
{
    std::wstring work = FreshWorkFolder(L"scale");
    std::wstring source = Join(work, L"new"), target = Join(work, L"app");
    for (int a = 0; a < 20; ++a)
        for (int b = 0; b < 20; ++b)
            for (int c = 0; c < 50; ++c)
                PutFile(source + L"\\d" + std::to_wstring(a) + L"\\e" + std::to_wstring(b) + L"\\f" +
                            std::to_wstring(c) + L".txt",
                        "file " + Number(a * 1000 + b * 50 + c));
    {
        // 1 GiB of a pattern that differs from block to block.
        HANDLE big = CreateFileW(Join(source, L"big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        std::string block(1 << 20, '\0');
        for (int m = 0; m < 1024; ++m) {
            for (size_t i = 0; i < block.size(); i += 8)
                block[i] = static_cast<char>(m + i / 8);
            DWORD written;
            WriteFile(big, block.data(), static_cast<DWORD>(block.size()), &written, NULL);
        }
        CloseHandle(big);
    }
    PutFile(Join(target, L"keep.txt"), "only the installation has this");
    PutFile(Join(target, L"d0\\keep.txt"), "and this");
    Tree expected = Overlay(ReadTree(target), ReadTree(source));

    // The same update of a small tree first: the large one must cost no
    // more memory than that, however much it copies.
    std::wstring smallSource = Join(work, L"small-new");
    PutSmallTree(smallSource);
    DWORD smallSeconds = 0, seconds = 0;
    SIZE_T smallPeak = MeasuredUpdate(smallSource, Join(work, L"small-app"), &smallSeconds);
    SIZE_T peak = MeasuredUpdate(source, target, &seconds);
    printf("copied 20,000 files and 1 GiB in %lu s; the updater's peak working set: %s (%s for a few files)\n",
           seconds, Megabytes(peak).c_str(), Megabytes(smallPeak).c_str());
    EXPECT_MSG(smallPeak > 0 && peak < smallPeak + (2u << 20),
               "peak working set " + Megabytes(peak) + " against " + Megabytes(smallPeak));
    std::string difference = TreeDifference(expected, ReadTree(target));
    EXPECT_MSG(difference.empty(), difference);
    RemoveTree(work);
}

// The root of a drive, with its trailing backslash, as the target. The test
// command maps R: to an empty folder first.
void RootFolderScenario()
{
    REQUIRE_MSG(Exists(L"R:\\"), "drive R: is not mapped");
    RemoveTree(L"R:\\keep");
    PutFile(L"R:\\keep\\keep.txt", "only the root has this");
    std::wstring work = FreshWorkFolder(L"root-folder");
    std::wstring source = Join(work, L"new");
    PutSmallTree(source);
    Tree before = ReadTree(L"R:\\"), tree = ReadTree(source);
    std::vector<std::wstring> args;
    args.push_back(source);
    args.push_back(L"R:\\");
    ExpectResult("root target", RunToEnd(args), COPIES, before, tree, L"R:\\", L"");
}
