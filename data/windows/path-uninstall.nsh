; The programs' folder taken off PATH (the user's, or the system's for an
; install for all users) while vorn-path.exe is still there; every other
; entry stays as it was.
StrCmp $DO_NOT_ADD_TO_PATH "1" vorn_path_kept
  StrCpy $0 "user"
  StrCmp $ADD_TO_PATH_ALL_USERS "1" 0 +2
    StrCpy $0 "system"
  nsExec::Exec '"$INSTDIR\bin\vorn-path.exe" remove $0 "$INSTDIR\bin"'
  Pop $1
vorn_path_kept:
