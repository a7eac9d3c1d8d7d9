// What the end-to-end scenarios share: folders and files, starting the
// updater as Korvello does, finding its windows and boxes, and checks.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// ---- checks ----------------------------------------------------------------
extern int g_failures;
void Fail(const char* file, int line, const std::string& what);
#define EXPECT(cond) ((cond) ? true : (Fail(__FILE__, __LINE__, #cond), false))
#define EXPECT_MSG(cond, msg) ((cond) ? true : (Fail(__FILE__, __LINE__, std::string(#cond) + ": " + (msg)), false))
#define REQUIRE(cond) do { if (!EXPECT(cond)) return; } while (0)
#define REQUIRE_MSG(cond, msg) do { if (!EXPECT_MSG(cond, msg)) return; } while (0)

std::string Utf8(const std::wstring& text);
std::string Number(unsigned long long n);

// ---- files -----------------------------------------------------------------
std::wstring DriverFolder();                   // build\bin
std::wstring Join(const std::wstring& folder, const std::wstring& name);
// A new, empty folder for one scenario under build\e2e-work.
std::wstring FreshWorkFolder(const std::wstring& name);
void MakeFolders(const std::wstring& path);
void RemoveTree(const std::wstring& path);
void PutFile(const std::wstring& path, const std::string& content, DWORD attributes = 0);
std::string FileText(const std::wstring& path);
bool Exists(const std::wstring& path);
void CopyProgram(const wchar_t* program, const std::wstring& to);  // from build\bin

struct Entry { bool folder; unsigned long long size; unsigned long long hash; };
typedef std::map<std::wstring, Entry> Tree;   // relative path -> entry
Tree ReadTree(const std::wstring& root);
// Lists how `actual` differs from `expected`; empty when they agree.
std::string TreeDifference(const Tree& expected, const Tree& actual);
Tree Overlay(Tree under, const Tree& over);   // what a copy of `over` onto `under` gives

// ---- processes -------------------------------------------------------------
struct Started { HANDLE process; DWORD id; };
// Quotes one argument by the rules CommandLineToArgvW reads.
std::wstring QuoteArgument(const std::wstring& arg);
Started StartProgram(const std::wstring& exe, const std::vector<std::wstring>& args,
                     const wchar_t* folder = NULL, WORD show = SW_SHOWNORMAL, bool quoteArgs = true);
Started StartUpdater(const std::vector<std::wstring>& args, const wchar_t* folder = NULL);
// The exit code, or STILL_ACTIVE when the process did not end in time.
DWORD WaitExit(const Started& p, DWORD ms);
bool Running(const Started& p);
// Processes whose parent is `parent`, by executable name (lower case).
std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* exeName);
// Suspends or resumes every thread of a process; returns how many it found.
int SuspendProcess(DWORD id, bool suspend);
// One step of catching the copy: finds the updater's cmd, then its xcopy,
// and suspends that. True once the copy is held; the two ids are tracked.
bool HoldCopyStep(DWORD updater, DWORD* cmd, DWORD* xcopy);
// The command line a running process was started with, read from its memory.
std::wstring CommandLineOf(DWORD id);
std::string StandInLog(const std::wstring& log);
void SetStandInLog(const std::wstring& log);   // inherited by all we start

// ---- windows ---------------------------------------------------------------
HWND WaitWindow(DWORD pid, const wchar_t* className, DWORD ms, const wchar_t* title = NULL);
HWND MainWindowOf(DWORD pid, DWORD ms = 10000);
// A visible message box of the process; with a caption, only such a box.
HWND WaitBox(DWORD pid, DWORD ms, const wchar_t* caption = NULL);
std::wstring BoxText(HWND box);
std::wstring WindowText(HWND window);
bool BoxHasIcon(HWND box);
void PressButton(HWND box, int id);
int BarPosition(HWND mainWindow);

// ---- scenario bookkeeping --------------------------------------------------
// Every process the scenario starts is ended when it returns or times out.
void Track(const Started& p);
void TrackId(DWORD id);
void EndTracked();
// Stray boxes of tracked processes are closed and counted as failures.
void DismissStrayBoxes();

// The texts the updater shows.
extern const std::wstring kTitle, kNotice, kQuestion, kQuestionCaption, kResultCaption,
    kSucceeded, kFailedPrefix, kRefusedPrefix;

// ---- a demo installation ---------------------------------------------------
// work\new holds version 2 of the stand-in as Korvello.exe, work\app holds
// version 1 and is the installation; starts are logged to work\standin.log.
struct Install { std::wstring work, source, target, korvello, log; };
Install MakeInstall(const std::wstring& name);
// Starts the installed stand-in and waits until its window is up.
Started StartKorvello(const Install& install);
// The updater's arguments as Korvello passes them.
std::vector<std::wstring> UpdateArguments(const Install& install, DWORD korvelloId);
// Waits for the result box; dismisses it with OK and returns its text.
std::wstring TakeResult(const Started& updater, DWORD ms = 60000);

// ---- running one update to its end -----------------------------------------
struct Outcome {
    std::wstring text;                    // the result box's text; empty without one
    bool icon;                            // the box showed an icon
    DWORD status;                         // the updater's exit code
    std::vector<std::wstring> programs;   // every program the updater started, and theirs
};
// Runs the updater to its end: dismisses its result box with OK and any box
// the shell shows, and watches every process it starts. `rawLine` replaces
// the quoted arguments when given.
Outcome RunToEnd(const std::vector<std::wstring>& args, const wchar_t* folder = NULL,
                 const std::wstring& rawLine = std::wstring(), DWORD ms = 120000);
// A few files in nested folders, some with blanks and Chinese names.
void PutSmallTree(const std::wstring& root);
