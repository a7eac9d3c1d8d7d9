#include "text.h"
#include "update.h"

LaunchRecord LaunchProgram(NarrowString file, NarrowString parameters, int show)
{
    LaunchRecord record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = sizeof record;
    record.fMask = SEE_MASK_NOCLOSEPROCESS;
    record.lpFile = NarrowToWide(file);
    record.lpParameters = NarrowToWide(parameters);
    record.nShow = show;
    ShellExecuteExW(&record);
    // Keep the shell's reason for the caller; later calls may overwrite it.
    DWORD error = record.hProcess ? 0 : GetLastError();
    SetLastError(error);
    return record;
}

LaunchRecord LaunchHidden(NarrowString file, NarrowString parameters)
{
    return LaunchProgram(file, parameters, SW_HIDE);
}
