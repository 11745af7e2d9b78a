; The .vorn file type: its icon (the second in vorn.exe) and "Open with VORN".
WriteRegStr HKCR ".vorn" "" "VORN.DataFile"
WriteRegStr HKCR "VORN.DataFile" "" "VORN data file"
WriteRegStr HKCR "VORN.DataFile\DefaultIcon" "" "$INSTDIR\bin\vorn.exe,1"
WriteRegStr HKCR "VORN.DataFile\shell\open" "" "Open with VORN"
WriteRegStr HKCR "VORN.DataFile\shell\open\command" "" '"$INSTDIR\bin\vorn.exe" "%1"'
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
