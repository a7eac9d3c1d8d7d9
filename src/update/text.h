// Conversions between UTF-16 and the system's ANSI code page.
#pragma once
#include "update.h"

NarrowString WideToNarrow(const wchar_t* text);
// Returns a new buffer that the caller owns.
WideString NarrowToWide(NarrowString text);
