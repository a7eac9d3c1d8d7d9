#include <doctest.h>

#include <stdlib.h>

#include "update/text.h"

static std::wstring BackToWide(const NarrowString& text)
{
    WideString wide = NarrowToWide(text);
    std::wstring result(wide);
    free(wide);
    return result;
}

TEST_CASE("the two conversions agree on the system's ANSI code page")
{
    struct Case { UINT codePage; const wchar_t* wide; const char* narrow; bool roundTrip; };
    const Case cases[] = {
        {936, L"", "", true},
        {936, L"D:\\new files", "D:\\new files", true},
        {936, L"D:\\\u65B0\u7248\u672C", "D:\\\xD0\xC2\xB0\xE6\xB1\xBE", true},
        {936, L"Jos\u00E9", "Jos\xA8\xA6", true},
        {936, L"\u0E01", "?", false},
        {1252, L"", "", true},
        {1252, L"D:\\new files", "D:\\new files", true},
        {1252, L"Jos\u00E9", "Jos\xE9", true},
        {1252, L"D:\\\u65B0", "D:\\?", false},
    };
    bool ran = false;
    for (const Case& c : cases) {
        if (c.codePage != GetACP())
            continue;
        ran = true;
        CAPTURE(c.narrow);
        NarrowString narrow = WideToNarrow(c.wide);
        CHECK(narrow == c.narrow);
        CHECK((BackToWide(narrow) == c.wide) == c.roundTrip);
    }
    CHECK_MESSAGE(ran, "no case for code page ", GetACP());
}
