#include <doctest.h>

#include <string>

#include "update/copy_command.h"
#include "update/text.h"

static const NarrowString kXcopy = "C:\\windows\\system32\\xcopy.exe";

static NarrowString Expected(const NarrowString& source, const NarrowString& target)
{
    return "/D /V:OFF /C \"\"" + kXcopy + "\" \"" + source + "\" \"" + target + "\" /e /i /h /y\"";
}

TEST_CASE("the copy command quotes both folders and doubles their trailing backslashes")
{
    struct Case { const char *source, *target, *quotedSource, *quotedTarget; };
    const Case cases[] = {
        {"D:\\new", "E:\\app", "D:\\new", "E:\\app"},
        {"D:\\new files", "E:\\Program Files\\Korvello", "D:\\new files", "E:\\Program Files\\Korvello"},
        {"D:\\new\\", "E:\\app", "D:\\new\\\\", "E:\\app"},
        {"D:\\new", "E:\\app\\", "D:\\new", "E:\\app\\\\"},
        {"D:\\new\\\\", "E:\\", "D:\\new\\\\\\\\", "E:\\\\"},
        {"D:\\a&b^c(d)!e", "E:\\x", "D:\\a&b^c(d)!e", "E:\\x"},
        {"new", "..\\app", "new", "..\\app"},
        {"\\\\server\\share\\new\\", "E:\\app", "\\\\server\\share\\new\\\\", "E:\\app"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.source);
        CAPTURE(c.target);
        CHECK(CopyParameters(kXcopy, c.source, c.target) == Expected(c.quotedSource, c.quotedTarget));
    }
}

TEST_CASE("a trailing backslash is counted by characters, not bytes")
{
    // 0x81 0x5C is one character in code page 936 whose second byte is a
    // backslash in ASCII; in 1252 they are two characters.
    struct Case { const char* text; UINT codePage; size_t count; };
    const Case cases[] = {
        {"", 936, 0},
        {"abc", 1252, 0},
        {"abc\\\\", 1252, 2},
        {"D:\\\x81\x5C", 936, 0},
        {"D:\\\x81\x5C", 1252, 1},
        {"D:\\\x81\x5C\\", 936, 1},
        {"D:\\\xD0\xC2\\", 936, 1},
        {"\\", 936, 1},
    };
    for (const Case& c : cases) {
        CAPTURE(c.text);
        CAPTURE(c.codePage);
        CHECK(TrailingBackslashes(c.text, c.codePage) == c.count);
    }
}

TEST_CASE("a Chinese folder keeps its bytes in the command under code page 936")
{
    if (GetACP() != 936)
        return;
    // 乗 ends in the byte 0x5C: it must not be taken for a trailing backslash.
    NarrowString source = WideToNarrow(L"D:\\\u65B0\u7248\u672C\\\u4E57");
    REQUIRE(source == "D:\\\xD0\xC2\xB0\xE6\xB1\xBE\\\x81\x5C");
    CHECK(CopyParameters(kXcopy, source, "E:\\app\\") == Expected(source, "E:\\app\\\\"));
}

TEST_CASE("folders that must not reach the command are refused")
{
    struct Case { const wchar_t* folder; bool refused; };
    const Case cases[] = {
        {L"", true},
        {L"D:\\new", false},
        {L"D:\\new files\\", false},
        {L"D:\\a&b^c(d)!e", false},
        {L"..\\relative", false},
        {L"D:\\a\"b", true},
        {L"D:\\a\" & calc & \"", true},
        {L"D:\\50%off", true},
        {L"D:\\%PATH%", true},
        {L"D:\\*", true},
        {L"D:\\new?", true},
        {L"D:\\a<b", true},
        {L"D:\\a>b", true},
        {L"D:\\a|b", true},
        {L"D:\\a\nb", true},
        {L"D:\\a\tb", true},
        {L"D:\\\u0E01", true},   // Thai: in neither code page
    };
    for (const Case& c : cases) {
        CAPTURE(WideToNarrow(c.folder));
        CHECK(FolderRefused(c.folder) == c.refused);
    }
    CHECK(FolderRefused(NULL));
}

TEST_CASE("a folder is refused exactly when the ANSI code page cannot hold it")
{
    const wchar_t* chinese = L"D:\\\u65B0\u7248\u672C";   // 新版本
    const wchar_t* accented = L"D:\\Jos\u00E9";           // José
    const wchar_t* macron = L"D:\\\u0100";                // Ā, best-fitted to A in 1252
    if (GetACP() == 936) {
        CHECK_FALSE(FolderRefused(chinese));
        CHECK_FALSE(FolderRefused(accented));
    } else if (GetACP() == 1252) {
        CHECK(FolderRefused(chinese));
        CHECK_FALSE(FolderRefused(accented));
        CHECK(FolderRefused(macron));
    } else {
        FAIL("the tests expect code page 936 or 1252, not ", GetACP());
    }
}
