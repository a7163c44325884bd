; The Windows installer of Tavrin, built with makensis by the build (see
; CMakeLists.txt beside this file), which passes
;   VERSION  the program's version
;   STAGE    the folder holding everything to install (the same as the zip)
;   OUTFILE  the installer to write
;   ICON     the program's icon
; It installs into Program Files, adds a Start-menu entry and an uninstaller,
; and registers in Add/Remove Programs. /S installs and uninstalls silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin"

Name "Tavrin ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tavrin"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Tavrin"
VIAddVersionKey "FileDescription" "Tavrin setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Tavrin"
VIAddVersionKey "LegalCopyright" "The Tavrin authors"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tavrin"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Tavrin"
  CreateShortcut "$SMPROGRAMS\Tavrin\Tavrin.lnk" "$INSTDIR\tavrin.exe"
  CreateShortcut "$SMPROGRAMS\Tavrin\Tavrin manual.lnk" "$INSTDIR\manual\index.html"

  WriteRegStr HKLM "${KEY}" "DisplayName" "Tavrin"
  WriteRegStr HKLM "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${KEY}" "Publisher" "Tavrin"
  WriteRegStr HKLM "${KEY}" "DisplayIcon" "$INSTDIR\tavrin.exe,0"
  WriteRegStr HKLM "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  ; Only what the installer put there: a folder chosen by hand may hold more.
  Delete "$SMPROGRAMS\Tavrin\Tavrin.lnk"
  Delete "$SMPROGRAMS\Tavrin\Tavrin manual.lnk"
  RMDir "$SMPROGRAMS\Tavrin"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\manual"
  Delete "$INSTDIR\tavrin.exe"
  Delete "$INSTDIR\tavrin-cli.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${KEY}"
  ; What the window remembered for the user who uninstalls (its size, the
  ; account source, the computers, the view).
  DeleteRegKey HKCU "Software\Tavrin"
SectionEnd
