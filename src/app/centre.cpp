#include "centre.h"

POINT CentredOrigin(int screenWidth, int screenHeight, const RECT& window)
{
    POINT origin;
    origin.x = (screenWidth - window.right) / 2;
    origin.y = (screenHeight - window.bottom) / 2;
    return origin;
}
