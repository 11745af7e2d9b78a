; The file type goes with the program, if it is still the program's own.
ReadRegStr $0 HKCR ".vorn" ""
StrCmp $0 "VORN.DataFile" 0 +2
DeleteRegKey HKCR ".vorn"
DeleteRegKey HKCR "VORN.DataFile"
System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
