; The Windows installer. makensis -DPAYLOAD=<folder> -DVERSION=<a.b.c.d> -DOUTFILE=<setup.exe>
; tarnex.nsi, where the payload folder holds the installation as the programs expect it:
;   tarnex.exe and the Qt libraries and plugins beside it (windeployqt's output),
;   update\tarnex-update.exe (the updater unpacks a new package into its parent folder),
;   ascreenshot\screenshot.exe (the screenshot tool the chat input starts),
;   emojis\ and menuimages\ (looked up below the working directory, which the shortcuts set).
; Start with Windows is the client's own setting (the machine-wide run list); uninstalling
; removes its value.
Unicode true
SetCompressor /SOLID lzma

!ifndef PAYLOAD
  !error "Pass the installation folder: -DPAYLOAD=<folder>"
!endif
!ifndef VERSION
  !error "Pass the version: -DVERSION=<a.b.c.d>"
!endif
!ifndef OUTFILE
  !define OUTFILE "tarnex-${VERSION}-setup.exe"
!endif
!macro REQUIRE path
  !if /FileExists "${PAYLOAD}\${path}"
  !else
    !error "The payload lacks ${path}"
  !endif
!macroend
!insertmacro REQUIRE "tarnex.exe"
!insertmacro REQUIRE "update\tarnex-update.exe"
!insertmacro REQUIRE "ascreenshot\screenshot.exe"
!insertmacro REQUIRE "emojis\*.png"
!insertmacro REQUIRE "menuimages\*.png"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tarnex"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "tarnex"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\tarnex"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "tarnex"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "tarnex installer"
VIAddVersionKey "LegalCopyright" "tarnex developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "tarnex"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File /r "${PAYLOAD}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The working directory of a shortcut is the output path at its creation.
  SetOutPath "$INSTDIR"
  CreateShortCut "$SMPROGRAMS\tarnex.lnk" "$INSTDIR\tarnex.exe"
  CreateShortCut "$DESKTOP\tarnex.lnk" "$INSTDIR\tarnex.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "tarnex"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "tarnex developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnex.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  ; The client's running copy would keep its files open.
  nsExec::Exec 'taskkill /IM tarnex.exe /T /F'
  Pop $0
  Delete "$SMPROGRAMS\tarnex.lnk"
  Delete "$DESKTOP\tarnex.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "tarnex"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The settings and history live in the user's Documents and stay.
  RMDir /r "$INSTDIR"
SectionEnd
