// The end of the worker: tell the user, give Korvello back, end the process.
#include <stdlib.h>

#include "../app/app.h"
#include "result_text.h"
#include "text.h"
#include "update.h"

// The main window's handle is stored once its creation returns; a refusal is
// known before that, and its box must still be owned by the window.
static HWND MainWindow()
{
    while (!g_mainWindow)
        Sleep(10);
    return g_mainWindow;
}

void FinishUpdate(UpdateOutcome outcome, DWORD code, const wchar_t* refusedFolder)
{
    if (outcome == UPDATE_SUCCEEDED) {
        SetFinalProgress();
    } else {
        FreezeProgress();
        InterlockedExchange(&g_exitStatus, 1);
    }

    std::wstring message = ResultMessage(outcome, code, refusedFolder);
    MessageBoxW(MainWindow(), message.c_str(), g_resultCaption,
                outcome == UPDATE_SUCCEEDED ? MB_OK : MB_OK | MB_ICONERROR);
    InterlockedExchange(&g_updating, 0);

    // The user closed the window while the box was open: the main thread is
    // ending the process, and Korvello is not to come back.
    if (g_closeConfirmed)
        Sleep(INFINITE);

    // A refused update ended nothing, so there is nothing to start again.
    if (outcome != UPDATE_REFUSED) {
        NarrowString program = WideToNarrow(ArgumentSlot(4));
        if (!program.empty())
            LaunchProgram(program, NarrowString(), SW_SHOWNORMAL);
    }
    exit(g_exitStatus);
}
