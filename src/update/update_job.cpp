// The worker that ends Korvello and runs the copy, and the ticker that moves
// the bar while it runs. Nothing measures the copy: the bar is an estimate.
#include "../app/app.h"
#include "copy_command.h"
#include "process_id.h"
#include "text.h"
#include "update.h"

#include <commctrl.h>

LONG volatile g_updating = 0;
int g_progressPos = 0;
NarrowString g_sourceDir;
NarrowString g_targetDir;
LONG volatile g_exitStatus = 0;

// Guards reading, storing and sending a position, so that a ticker step can
// never send its number after the completion step's 100. Only the worker and
// the ticker take it; the main thread never does, so nothing can deadlock.
static CRITICAL_SECTION g_progressLock;
// Set once the update has failed: a bar still moving would say otherwise.
static bool g_progressFrozen = false;

const wchar_t* ArgumentSlot(int slot)
{
    return slot < g_argc ? g_argv[slot] : L"";
}

void BeginUpdate()
{
    InterlockedExchange(&g_updating, 1);
    g_progressPos = 0;
    SendMessageW(g_progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(g_progressBar, PBM_SETPOS, g_progressPos, 0);
    InitializeCriticalSection(&g_progressLock);
    CreateThread(NULL, 0, UpdateWorker, NULL, 0, NULL);
    CreateThread(NULL, 0, ProgressTicker, NULL, 0, NULL);
}

DWORD WINAPI UpdateWorker(LPVOID)
{
    DWORD processId = ReadProcessId(WideToNarrow(ArgumentSlot(3)));

    // A folder that cannot be passed to xcopy as it is stops the update
    // before anything is ended.
    if (FolderRefused(ArgumentSlot(1)))
        FinishUpdate(UPDATE_REFUSED, 0, ArgumentSlot(1));
    if (FolderRefused(ArgumentSlot(2)))
        FinishUpdate(UPDATE_REFUSED, 0, ArgumentSlot(2));

    HANDLE ended = EndKorvello(processId, ArgumentSlot(2));
    Sleep(2000);
    // Its files stay locked until the process is really gone.
    if (ended)
        WaitForSingleObject(ended, 10000);

    g_sourceDir = WideToNarrow(ArgumentSlot(1));
    g_targetDir = WideToNarrow(ArgumentSlot(2));
    RunCopy(g_sourceDir, g_targetDir);
    return 0;
}

void RunCopy(NarrowString source, NarrowString target)
{
    NarrowString parameters =
        CopyParameters(WideToNarrow(SystemFilePath(L"xcopy.exe").c_str()), source, target);
    LaunchRecord copy = LaunchHidden(WideToNarrow(SystemFilePath(L"cmd.exe").c_str()), parameters);
    if (!copy.hProcess) {
        DWORD error = GetLastError();
        // Without a reason from the system, the shell's own code still says why.
        FinishUpdate(UPDATE_FAILED, error ? error : static_cast<DWORD>(reinterpret_cast<INT_PTR>(copy.hInstApp)), NULL);
    }
    WaitForSingleObject(copy.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(copy.hProcess, &code))
        code = GetLastError();
    // Only a copy that ran and ended with 0 is a success; xcopy's 1, 2, 4 and
    // 5 mean no files, a break, a bad path or disk, and a write error.
    FinishUpdate(code == 0 ? UPDATE_SUCCEEDED : UPDATE_FAILED, code, NULL);
}

DWORD WINAPI ProgressTicker(LPVOID)
{
    Sleep(2000);
    for (;;) {
        EnterCriticalSection(&g_progressLock);
        bool climbing = !g_progressFrozen && g_progressPos < 95;
        if (climbing) {
            g_progressPos += 1;
            SendMessageW(g_progressBar, PBM_SETPOS, g_progressPos, 0);
        }
        LeaveCriticalSection(&g_progressLock);
        if (!climbing)
            return 0;
        Sleep(50);
    }
}

void SetFinalProgress()
{
    EnterCriticalSection(&g_progressLock);
    g_progressPos = 100;
    SendMessageW(g_progressBar, PBM_SETPOS, 100, 0);
    LeaveCriticalSection(&g_progressLock);
}

void FreezeProgress()
{
    EnterCriticalSection(&g_progressLock);
    g_progressFrozen = true;
    LeaveCriticalSection(&g_progressLock);
}
