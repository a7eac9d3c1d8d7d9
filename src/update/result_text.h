// What the result box says.
#pragma once
#include <string>

#include "update.h"

extern const wchar_t* const g_resultCaption;

std::wstring ResultMessage(UpdateOutcome outcome, DWORD code, const wchar_t* refusedFolder);
