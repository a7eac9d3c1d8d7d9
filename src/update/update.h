// The update job: ends Korvello, copies the new tree, drives the bar and
// reports the result.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>

typedef std::string NarrowString;   // text in the system's ANSI code page
typedef wchar_t* WideString;        // NUL-terminated UTF-16
typedef SHELLEXECUTEINFOW LaunchRecord;

enum UpdateOutcome { UPDATE_SUCCEEDED, UPDATE_FAILED, UPDATE_REFUSED };

extern LONG volatile g_updating;
extern int g_progressPos;
extern NarrowString g_sourceDir;
extern NarrowString g_targetDir;
// 1 once the update is known to have failed or been refused.
extern LONG volatile g_exitStatus;

void BeginUpdate();
DWORD WINAPI UpdateWorker(LPVOID);
DWORD WINAPI ProgressTicker(LPVOID);
void RunCopy(NarrowString source, NarrowString target);
void SetFinalProgress();
void FreezeProgress();
void FinishUpdate(UpdateOutcome outcome, DWORD code, const wchar_t* refusedFolder);

LaunchRecord LaunchProgram(NarrowString file, NarrowString parameters, int show);
LaunchRecord LaunchHidden(NarrowString file, NarrowString parameters);

// Ends the process only when its executable lies inside the target folder;
// returns its handle then, so that the caller can wait for it to be gone.
HANDLE EndKorvello(DWORD processId, const wchar_t* targetFolder);

// The full path of a file in the system folder, never one found by search.
std::wstring SystemFilePath(const wchar_t* name);

// Entry `slot` of the command line, or an empty text when it is absent.
const wchar_t* ArgumentSlot(int slot);
