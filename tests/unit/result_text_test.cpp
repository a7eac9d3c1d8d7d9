#include <doctest.h>

#include "update/result_text.h"

TEST_CASE("the result box names the outcome, the code in decimal, or the folder")
{
    const std::wstring failed = L"\u66F4\u65B0\u5931\u8D25\uFF0C\u9519\u8BEF\u4EE3\u7801\uFF1A";
    const std::wstring refused = L"\u66F4\u65B0\u5931\u8D25\uFF0C\u6587\u4EF6\u5939\u8DEF\u5F84\u65E0\u6548\uFF1A";
    CHECK(ResultMessage(UPDATE_SUCCEEDED, 0, NULL) == L"\u66F4\u65B0\u6210\u529F");
    CHECK(ResultMessage(UPDATE_FAILED, 4, NULL) == failed + L"4");
    CHECK(ResultMessage(UPDATE_FAILED, 0, NULL) == failed + L"0");
    CHECK(ResultMessage(UPDATE_FAILED, 1450, NULL) == failed + L"1450");
    CHECK(ResultMessage(UPDATE_FAILED, 0xC0000005u, NULL) == failed + L"3221225477");
    CHECK(ResultMessage(UPDATE_REFUSED, 0, L"D:\\50%off") == refused + L"D:\\50%off");
    CHECK(std::wstring(g_resultCaption) == L"\u66F4\u65B0");
}
