// The result box, the relaunch and the exit status.
#include "harness.h"

#include <stdio.h>

// Lines of the stand-in log: each start of a stand-in.
static std::vector<std::string> Starts(const Install& install)
{
    std::vector<std::string> lines;
    std::string log = StandInLog(install.log);
    for (size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(log.substr(at, end - at));
    return lines;
}

// Korvello came back from the installation folder in `version`, visible.
static void ExpectRelaunched(const Install& install, const char* version)
{
    std::vector<std::string> starts;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(50)) {
        starts = Starts(install);
        if (starts.size() >= 2)
            break;
    }
    REQUIRE_MSG(starts.size() == 2, "Korvello did not come back: " + StandInLog(install.log));
    char seen[8] = "";
    unsigned long pid = 0;
    int show = -1;
    sscanf(starts[1].c_str(), "%7s %lu %d", seen, &pid, &show);
    TrackId(pid);
    EXPECT_MSG(std::string(seen) == version && show == SW_SHOWNORMAL, starts[1]);
    HWND window = WaitWindow(pid, L"KorvelloStandIn", 10000);
    EXPECT_MSG(window && IsWindowVisible(window), "its window is not visible");
}

void SuccessScenario()
{
    Install install = MakeInstall(L"success");
    Started korvello = StartKorvello(install);
    Started updater = StartUpdater(UpdateArguments(install, korvello.id));
    HWND main = MainWindowOf(updater.id);
    REQUIRE(main);
    EXPECT_MSG(WaitExit(korvello, 5000) == 4, "the running Korvello was not ended with 4");

    HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
    REQUIRE(box);
    EXPECT(BoxText(box) == kSucceeded);
    EXPECT(!BoxHasIcon(box));
    EXPECT(GetWindow(box, GW_OWNER) == main);
    // The copy ended while the ticker was still climbing: 100 is final.
    for (int i = 0; i < 10; ++i) {
        if (!EXPECT_MSG(BarPosition(main) == 100, "the bar went back to " + Number(BarPosition(main))))
            break;
        Sleep(100);
    }
    EXPECT_MSG(Starts(install).size() == 1, "started before the box was dismissed");
    PressButton(box, IDOK);
    EXPECT(WaitExit(updater, 10000) == 0);
    EXPECT(FileText(install.korvello) == FileText(Join(install.source, L"Korvello.exe")));
    ExpectRelaunched(install, "v2");
}

// However the box is dismissed, Korvello comes back.
void DismissScenario()
{
    struct Way { const char* name; UINT message; WPARAM wParam; bool toButton; };
    const Way ways[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN, true},
        {"Esc", WM_KEYDOWN, VK_ESCAPE, true},
        {"close button", WM_SYSCOMMAND, SC_CLOSE, false},
    };
    for (size_t i = 0; i < sizeof ways / sizeof ways[0]; ++i) {
        Install install = MakeInstall(L"dismiss-" + std::to_wstring(i));
        Started korvello = StartKorvello(install);
        Started updater = StartUpdater(UpdateArguments(install, korvello.id));
        HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
        if (!EXPECT_MSG(box, ways[i].name))
            continue;
        HWND to = ways[i].toButton ? GetDlgItem(box, IDOK) : box;
        PostMessageW(to, ways[i].message, ways[i].wParam, 0);
        EXPECT_MSG(WaitExit(updater, 10000) == 0, ways[i].name);
        ExpectRelaunched(install, "v2");
        EndTracked();
    }
}

// Nothing named, nothing started; a name that does not exist is no failure.
void NoRelaunchScenario()
{
    const wchar_t* programs[] = {L"", NULL, L"missing.exe"};
    for (size_t i = 0; i < 3; ++i) {
        Install install = MakeInstall(L"no-relaunch-" + std::to_wstring(i));
        std::vector<std::wstring> args = UpdateArguments(install, 0);
        if (programs[i])
            args[3] = programs[i][0] ? Join(install.target, programs[i]) : L"";
        else
            args.resize(3);
        Started updater = StartUpdater(args);
        EXPECT(TakeResult(updater) == kSucceeded);
        // The shell may say that the program is missing: dismiss what it shows.
        DWORD start = GetTickCount(), code = STILL_ACTIVE;
        while ((code = WaitExit(updater, 100)) == STILL_ACTIVE && GetTickCount() - start < 10000) {
            if (HWND box = WaitBox(updater.id, 0))
                PostMessageW(box, WM_CLOSE, 0, 0);
        }
        EXPECT_MSG(code == 0, "case " + Number(i) + ": status " + Number(code));
        Sleep(500);
        EXPECT(Starts(install).empty());
    }
}

// A copy that fails says so, leaves the bar short of 100, gives Korvello back
// and ends with status 1.
void FailuresScenario()
{
    for (int i = 0; i < 2; ++i) {
        Install install = MakeInstall(i == 0 ? L"failure-missing" : L"failure-locked");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (i == 0) {
            RemoveTree(install.source);
        } else {
            PutFile(Join(install.source, L"data.bin"), "new data");
            PutFile(Join(install.target, L"data.bin"), "old data");
            held = CreateFileW(Join(install.target, L"data.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL,
                               OPEN_EXISTING, 0, NULL);
            EXPECT(held != INVALID_HANDLE_VALUE);
        }
        Started korvello = StartKorvello(install);
        Started updater = StartUpdater(UpdateArguments(install, korvello.id));
        HWND main = MainWindowOf(updater.id);
        HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
        if (!EXPECT(box && main))
            continue;
        std::wstring text = BoxText(box);
        std::wstring code = text.substr(0, kFailedPrefix.size()) == kFailedPrefix ? text.substr(kFailedPrefix.size()) : L"";
        EXPECT_MSG(!code.empty() && code.find_first_not_of(L"0123456789") == std::wstring::npos && code != L"0",
                   Utf8(text));
        if (i == 0)
            EXPECT_MSG(code == L"4", "a missing source is xcopy's initialisation error");
        EXPECT(BoxHasIcon(box));
        // The bar stops where it was: it neither fills nor climbs on.
        int stopped = BarPosition(main);
        Sleep(600);
        EXPECT_MSG(stopped < 95 && BarPosition(main) == stopped,
                   "the bar moved from " + Number(stopped) + " to " + Number(BarPosition(main)));
        PressButton(box, IDOK);
        EXPECT(WaitExit(updater, 10000) == 1);
        ExpectRelaunched(install, "v1");
        if (held != INVALID_HANDLE_VALUE) {
            CloseHandle(held);
            EXPECT(FileText(Join(install.target, L"data.bin")) == "old data");
        }
        EndTracked();
    }
}

// A folder that cannot go into the command safely: nothing is ended, copied
// or started, and the box names the folder as it was given.
void RefusedScenario()
{
    for (int i = 0; i < 2; ++i) {
        Install install = MakeInstall(i == 0 ? L"refused-percent" : L"refused-codepage");
        std::wstring refused;
        if (i == 0) {
            refused = Join(install.work, L"50%off");
            CopyProgram(L"standin_v2.exe", Join(refused, L"Korvello.exe"));
            install.source = refused;
        } else {
            // Thai, which code pages 936 and 1252 both lack.
            refused = Join(install.work, L"\u0E01\u0E02");
            CopyProgram(L"standin_v1.exe", Join(refused, L"Korvello.exe"));
            install.target = refused;
            install.korvello = Join(refused, L"Korvello.exe");
        }
        Tree before = ReadTree(install.target);
        Started korvello = StartKorvello(install);
        Started updater = StartUpdater(UpdateArguments(install, korvello.id));
        HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
        if (!EXPECT(box))
            continue;
        EXPECT_MSG(BoxText(box) == kRefusedPrefix + refused, Utf8(BoxText(box)));
        EXPECT(BoxHasIcon(box));
        // Past the ticker's two seconds, the bar has not started.
        Sleep(2600);
        EXPECT(BarPosition(MainWindowOf(updater.id, 0)) == 0);
        PressButton(box, IDOK);
        EXPECT(WaitExit(updater, 10000) == 1);
        Sleep(500);
        EXPECT(Running(korvello));
        EXPECT(Starts(install).size() == 1);
        EXPECT(ChildProcesses(updater.id, NULL).empty());
        EXPECT(TreeDifference(before, ReadTree(install.target)).empty());
        EndTracked();
    }
}

// Closing with Yes while the result box is open ends the updater without
// giving Korvello back, with the result's status.
void CloseOnResultScenario()
{
    for (int failed = 0; failed < 2; ++failed) {
        Install install = MakeInstall(failed ? L"close-on-failure" : L"close-on-success");
        if (failed)
            RemoveTree(install.source);
        Started korvello = StartKorvello(install);
        Started updater = StartUpdater(UpdateArguments(install, korvello.id));
        HWND main = MainWindowOf(updater.id);
        HWND box = WaitBox(updater.id, 30000, kResultCaption.c_str());
        if (!EXPECT(main && box))
            continue;
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND question = WaitBox(updater.id, 5000, kQuestionCaption.c_str());
        if (!EXPECT_MSG(question, "closing during the result did not ask"))
            continue;
        PressButton(question, IDYES);
        EXPECT(WaitExit(updater, 10000) == static_cast<DWORD>(failed));
        Sleep(1000);
        EXPECT(Starts(install).size() == 1);
        EndTracked();
    }
}
