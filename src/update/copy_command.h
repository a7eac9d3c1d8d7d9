// The command line given to the command interpreter for the copy, and the
// checks a folder must pass before it may appear in it.
#pragma once
#include "update.h"

// Parameters for cmd.exe: xcopy by its full path, the two folders quoted, and
// the switches that copy every subfolder and hidden file without asking.
NarrowString CopyParameters(const NarrowString& xcopy, const NarrowString& source,
                            const NarrowString& target);

// The number of backslashes that end `text`, reading it in `codePage`, where
// the second byte of a double-byte character may be 0x5C too.
size_t TrailingBackslashes(const NarrowString& text, UINT codePage);

// True when the folder must not reach the command: empty, holding a character
// cmd or xcopy would give a meaning of its own, or not surviving the trip
// through the ANSI code page unchanged.
bool FolderRefused(const wchar_t* folder);
