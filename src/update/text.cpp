#include "text.h"

#include <locale.h>
#include <stdlib.h>
#include <string.h>

NarrowString WideToNarrow(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
    if (size <= 0)
        return NarrowString();
    char* buffer = static_cast<char*>(malloc(size));
    if (!buffer)
        abort();
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, size, NULL, NULL);
    buffer[size - 1] = 0;
    NarrowString result(buffer);
    free(buffer);
    return result;
}

WideString NarrowToWide(NarrowString text)
{
    // The same code page WideToNarrow wrote into; any other one turns
    // non-ASCII text into garbage or into nothing.
    setlocale(LC_ALL, ".ACP");
    size_t n = strlen(text.c_str()) + 1;
    wchar_t* buffer = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    if (!buffer)
        abort();
    // mbstowcs_s's result without its import, which the msvcrt.dll of Windows
    // XP lacks: the buffer always fits, and text that is not valid in the code
    // page gives an empty result.
    if (mbstowcs(buffer, text.c_str(), n) == static_cast<size_t>(-1))
        buffer[0] = 0;
    buffer[n - 1] = 0;
    return buffer;
}
