#include <doctest.h>

#include "update/process_id.h"

TEST_CASE("the process id is read as atoi reads it, clamped at the 32-bit limits")
{
    struct Case { const char* text; DWORD id; };
    const Case cases[] = {
        {"", 0},
        {"   ", 0},
        {"abc", 0},
        {"0", 0},
        {"4242", 4242},
        {"  42", 42},
        {"\t\n\v\f\r +17", 17},
        {"12abc", 12},
        {"- 5", 0},
        {"+-5", 0},
        {"-1", 0xFFFFFFFFu},
        {"2147483647", 2147483647u},
        {"99999999999", 2147483647u},
        {"-99999999999", 0x80000000u},
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CHECK(ReadProcessId(c.text) == c.id);
    }
}
