// Reads the process id that Korvello passes in decimal.
#pragma once
#include "update.h"

// atoi's reading: leading white space and one sign, decimal digits up to the
// first other character, 0 without a digit, and the 32-bit signed limits when
// the number is beyond them. The value is taken as the id unchanged.
DWORD ReadProcessId(const NarrowString& text);
