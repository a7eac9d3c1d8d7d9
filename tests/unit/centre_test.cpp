#include <doctest.h>

#include "app/centre.h"

TEST_CASE("the window is centred for its 410 x 210 size, truncating toward zero")
{
    // The rectangle the window has during creation: 10, 10 to 410, 210.
    const RECT created = {10, 10, 410, 210};
    struct Case { int width, height, x, y; };
    const Case cases[] = {
        {1024, 768, 307, 279},
        {1025, 769, 307, 279},   // an odd difference loses its half pixel
        {800, 600, 195, 195},
        {410, 210, 0, 0},
        {400, 200, -5, -5},      // a screen smaller than the window
        {399, 199, -5, -5},      // -11 / 2 is -5, not -6
    };
    for (const Case& c : cases) {
        CAPTURE(c.width);
        CAPTURE(c.height);
        POINT origin = CentredOrigin(c.width, c.height, created);
        CHECK(origin.x == c.x);
        CHECK(origin.y == c.y);
    }
}
