; A silent install (/S) cannot ask about PATH: it puts the programs on the
; user's PATH, and notes so, so that the uninstaller takes them off again.
IfSilent 0 vorn_path_asked
  StrCpy $DO_NOT_ADD_TO_PATH "0"
  StrCpy $ADD_TO_PATH_ALL_USERS "0"
  StrCpy $ADD_TO_PATH_CURRENT_USER "1"
  Push "DoNotAddToPath"
  Push "$DO_NOT_ADD_TO_PATH"
  Call ConditionalAddToRegistry
  Push "AddToPathCurrentUser"
  Push "$ADD_TO_PATH_CURRENT_USER"
  Call ConditionalAddToRegistry
vorn_path_asked:
