#!/usr/bin/env bash
# Checks the shipped file itself: a 32-bit GUI program for Windows 5.01 and
# later, without symbols, importing only system DLLs and no call that
# Windows XP lacks.
set -u
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe") || exit 1
fail=0
no() { echo "FAILED: $*"; fail=1; }

grep -q 'file format pei-i386' <<<"$dump" || no "not a 32-bit x86 program"
grep -qE '^Subsystem\s+00000002' <<<"$dump" || no "not the GUI subsystem"
grep -qE '^MajorSubsystemVersion\s+5$' <<<"$dump" && grep -qE '^MinorSubsystemVersion\s+1$' <<<"$dump" \
    || no "subsystem version is not 5.01"
i686-w64-mingw32-objdump -h "$exe" | grep -qE '\.debug|\.stab' && no "debug sections present"
i686-w64-mingw32-nm "$exe" 2>&1 | grep -q "no symbols" || no "symbols present"

dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$dump" | sort -u)
for dll in $dlls; do
    case $dll in
        kernel32.dll|user32.dll|gdi32.dll|shell32.dll|msvcrt.dll) ;;
        *) no "imports $dll" ;;
    esac
done
# Calls that came after Windows XP; they must be looked up at run time.
# msvcrt.dll of XP has none of the *_s functions.
late='GetTickCount64|QueryFullProcessImageNameW|InitializeCriticalSectionEx|InitOnceExecuteOnce|FlsAlloc|CreateSymbolicLink|GetFinalPathNameByHandle|K32[A-Za-z]+|[A-Za-z0-9]+_s'
imports=$(awk '/DLL Name:/ {on=1} on && /^\s+[0-9a-f]+\s+[0-9]+\s+[A-Za-z_]/ {print $3}' <<<"$dump")
bad=$(grep -xE "$late" <<<"$imports" | tr '\n' ' ')
[ -n "$bad" ] && no "imports calls Windows XP lacks: $bad"
[ "$fail" = 0 ] && echo "program checks passed: $(stat -c %s "$exe") bytes, imports from $(echo $dlls)"
exit $fail
