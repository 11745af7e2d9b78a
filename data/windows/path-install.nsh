; AddToPath: the folder on the stack goes on the user's PATH, or the
; system's when installed for all users, through vorn-path.exe, which reads
; and writes PATH whole: appended to, never cut, never replaced.
Function AddToPath
  Exch $0
  Push $1
  StrCpy $1 "user"
  StrCmp $ADD_TO_PATH_ALL_USERS "1" 0 +2
    StrCpy $1 "system"
  nsExec::Exec '"$INSTDIR\bin\vorn-path.exe" add $1 "$0"'
  Pop $1
  Pop $1
  Pop $0
FunctionEnd

