#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that is not one of Windows' known DLLs: those are
# always its own, never one that lies beside the program (any other import is looked for there
# first, before the program can restrict the search).
# Usage: check-dlls.sh OBJDUMP PROGRAM.exe
set -euo pipefail
objdump="$1"
program="$2"
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|shlwapi)\.dll$'
status=0
while read -r dll; do
    if echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
        echo "system DLL: $dll"
    else
        echo "NOT a system DLL: $dll"
        status=1
    fi
done < <("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p')
exit $status
