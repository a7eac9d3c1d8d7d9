#include "result_text.h"

const wchar_t* const g_resultCaption = L"\u66F4\u65B0";  // 更新

std::wstring ResultMessage(UpdateOutcome outcome, DWORD code, const wchar_t* refusedFolder)
{
    switch (outcome) {
    case UPDATE_SUCCEEDED:
        return L"\u66F4\u65B0\u6210\u529F";  // 更新成功
    case UPDATE_REFUSED:
        // 更新失败，文件夹路径无效：<the folder as given>
        return std::wstring(L"\u66F4\u65B0\u5931\u8D25\uFF0C\u6587\u4EF6\u5939\u8DEF\u5F84\u65E0\u6548\uFF1A") +
               (refusedFolder ? refusedFolder : L"");
    default: {
        // 更新失败，错误代码：<code>
        std::wstring digits;
        do {
            digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + code % 10));
            code /= 10;
        } while (code);
        return std::wstring(L"\u66F4\u65B0\u5931\u8D25\uFF0C\u9519\u8BEF\u4EE3\u7801\uFF1A") + digits;
    }
    }
}
