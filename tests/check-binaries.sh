#!/usr/bin/env bash
# Each plug-in must export exactly the six host functions under their plain
# names and import nothing but Windows system DLLs.
set -u
status=0
expected="ListCloseWindow ListGetDetectString ListGetPreviewBitmapW ListLoad ListLoadW ListSetDefaultParams"
# System DLLs a Windows installation always has (lower case).
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll shell32.dll ole32.dll shlwapi.dll "
for dll in "$@"; do
  case "$dll" in
    *.wlx64) objdump=x86_64-w64-mingw32-objdump ;;
    *) objdump=i686-w64-mingw32-objdump ;;
  esac
  if [ ! -f "$dll" ]; then echo "FAIL $dll: missing"; status=1; continue; fi
  dump=$("$objdump" -p "$dll")
  exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t&&NF==0{t=0}' | sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$exports" != "$expected" ]; then
    echo "FAIL $dll: exports are '$exports'"; status=1
  else
    echo "ok   $dll exports: $exports"
  fi
  imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
  foreign=0
  for imp in $imports; do
    case "$allowed" in
      *" $imp "*) ;;
      *) echo "FAIL $dll imports $imp"; foreign=1; status=1 ;;
    esac
  done
  [ $foreign = 0 ] && echo "ok   $dll imports: $(echo $imports)"
done
exit $status
