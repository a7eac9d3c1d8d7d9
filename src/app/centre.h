// Where a window of a given rectangle lands when centred on a screen.
#pragma once
#include <windows.h>

// The origin is ((screen - right) / 2, (screen - bottom) / 2), truncated
// toward zero: the window is sized right x bottom, so this centres that size.
POINT CentredOrigin(int screenWidth, int screenHeight, const RECT& window);
