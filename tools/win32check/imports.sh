#!/bin/bash
# imports.sh -- the Windows programs import no DLL beyond Windows' own: the C++ runtime,
# libgcc and the thread library are linked in, so a bare Windows runs them.
#
#   imports.sh PROGRAM.exe...
set -u
allowed=" kernel32.dll msvcrt.dll user32.dll gdi32.dll winmm.dll ddraw.dll dinput.dll "
status=0
for program in "$@"; do
  imports=$(i686-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  for dll in $imports; do
    case "$allowed" in
      *" $dll "*) ;;
      *) echo "$program: imports $dll, which Windows does not ship"; status=1 ;;
    esac
  done
done
exit $status
