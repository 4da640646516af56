#!/usr/bin/env bash
# Fails when a Windows executable imports a DLL that Windows does not ship itself.
# Usage: check-dlls.sh OBJDUMP PROGRAM.exe
set -euo pipefail
objdump="$1"
program="$2"
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|msvcrt|shlwapi|version)\.dll$'
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
