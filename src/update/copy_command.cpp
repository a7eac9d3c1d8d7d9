#include "copy_command.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "text.h"

size_t TrailingBackslashes(const NarrowString& text, UINT codePage)
{
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[i])) && i + 1 < text.size()) {
            run = 0;
            i += 2;
        } else {
            run = text[i] == '\\' ? run + 1 : 0;
            i += 1;
        }
    }
    return run;
}

// xcopy splits its command line by the C runtime's rules, where \" is an
// escaped quote: doubling the backslashes that end a folder keeps them
// backslashes and lets the quote close the argument.
static NarrowString Quoted(const NarrowString& folder)
{
    return "\"" + folder + NarrowString(TrailingBackslashes(folder, CP_ACP), '\\') + "\"";
}

NarrowString CopyParameters(const NarrowString& xcopy, const NarrowString& source,
                            const NarrowString& target)
{
    // /D skips the AutoRun commands of the registry and /V:OFF keeps "!" in
    // folder names literal. A command that begins with a quote loses its
    // first and last quote in cmd, hence the outer pair.
    return "/D /V:OFF /C \"" + Quoted(xcopy) + " " + Quoted(source) + " " + Quoted(target) +
           " /e /i /h /y\"";
}

bool FolderRefused(const wchar_t* folder)
{
    if (!folder || !*folder)
        return true;
    for (const wchar_t* c = folder; *c; ++c) {
        // Quotes would end the argument and % names would be expanded by cmd;
        // wildcards would copy other files; control characters end the line.
        if (*c < 0x20 || wcschr(L"\"%*?<>|", *c))
            return true;
    }
    // A character outside the ANSI code page comes back as '?', a wildcard.
    WideString back = NarrowToWide(WideToNarrow(folder));
    bool changed = wcscmp(back, folder) != 0;
    free(back);
    return changed;
}
