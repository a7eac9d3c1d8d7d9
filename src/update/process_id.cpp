#include "process_id.h"

#include <stdlib.h>

DWORD ReadProcessId(const NarrowString& text)
{
    // strtol, unlike some runtimes' atoi, clamps at the limits.
    return static_cast<DWORD>(strtol(text.c_str(), NULL, 10));
}
