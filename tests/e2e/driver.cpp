// Drives the real updater from outside, as Korvello and a user would. Runs
// one scenario named on its command line; status 0 when every check held.
#include "harness.h"

#include <stdio.h>

void WindowScenario();
void ArgumentsScenario();
void SparesOthersScenario();
void TreeScenario();
void HoldScenario();
void SuccessScenario();
void DismissScenario();
void NoRelaunchScenario();
void FailuresScenario();
void RefusedScenario();
void CloseOnResultScenario();
void HostileFoldersScenario();
void ProcessIdsScenario();
void PlantedCmdScenario();
void CodePageScenario();
void CloseDuringCopyScenario();
void TargetFaultsScenario();
void DiskFullScenario();
void ScaleScenario();
void RootFolderScenario();
void DemoScenario();

struct Scenario { const wchar_t* name; void (*run)(); DWORD seconds; };
static const Scenario kScenarios[] = {
    {L"window", WindowScenario, 60},
    {L"arguments", ArgumentsScenario, 60},
    {L"spares-others", SparesOthersScenario, 60},
    {L"tree", TreeScenario, 60},
    {L"hold", HoldScenario, 90},
    {L"success", SuccessScenario, 60},
    {L"dismiss", DismissScenario, 120},
    {L"no-relaunch", NoRelaunchScenario, 120},
    {L"failures", FailuresScenario, 120},
    {L"refused", RefusedScenario, 120},
    {L"close-on-result", CloseOnResultScenario, 120},
    {L"hostile-folders", HostileFoldersScenario, 180},
    {L"process-ids", ProcessIdsScenario, 180},
    {L"planted-cmd", PlantedCmdScenario, 60},
    {L"codepage", CodePageScenario, 120},
    {L"close-during-copy", CloseDuringCopyScenario, 60},
    {L"target-faults", TargetFaultsScenario, 120},
    {L"disk-full", DiskFullScenario, 120},
    {L"root-folder", RootFolderScenario, 60},
    {L"scale", ScaleScenario, 580},
    {L"demo", DemoScenario, 120},   // not a test: the README's demo
};

static DWORD g_limit;

// A scenario that hangs is a failure, not a wait: end it and all it started.
static DWORD WINAPI Watchdog(LPVOID)
{
    Sleep(g_limit);
    printf("FAILED: no end within %lu s\n", g_limit / 1000);
    DismissStrayBoxes();
    EndTracked();
    fflush(stdout);
    ExitProcess(2);
}

int wmain(int argc, wchar_t** argv)
{
    for (size_t i = 0; argc == 2 && i < sizeof kScenarios / sizeof kScenarios[0]; ++i) {
        if (lstrcmpW(argv[1], kScenarios[i].name))
            continue;
        g_limit = kScenarios[i].seconds * 1000;
        CreateThread(NULL, 0, Watchdog, NULL, 0, NULL);
        kScenarios[i].run();
        DismissStrayBoxes();
        EndTracked();
        printf("%s: %s\n", Utf8(argv[1]).c_str(), g_failures ? "FAILED" : "passed");
        return g_failures ? 1 : 0;
    }
    printf("usage: e2e_driver SCENARIO, one of:");
    for (size_t i = 0; i < sizeof kScenarios / sizeof kScenarios[0]; ++i)
        printf(" %s", Utf8(kScenarios[i].name).c_str());
    printf("\n");
    return 2;
}
