; Installer of the Tarvik plug-in for Lumora: the plug-in and its help file into the folder
; the user chooses, the help file's location in the current user's registry, and an
; uninstaller that takes all of it away again.
;
; makensis -DTARVIK_TARGET=x86-unicode|amd64-unicode -DTARVIK_DLL=<TarvikD.lmp>
;          -DTARVIK_HELP=<Tarvik.chm> -DTARVIK_OUT=<Tarvik-setup.exe> Tarvik.nsi
; Runs silently with /S; /D=<folder> (last on the command line) chooses the folder.

!ifndef TARVIK_TARGET | TARVIK_DLL | TARVIK_HELP | TARVIK_OUT
  !error "TARVIK_TARGET, TARVIK_DLL, TARVIK_HELP and TARVIK_OUT must be defined"
!endif

Unicode true
Target ${TARVIK_TARGET}
SetCompressor /SOLID lzma

!define PRODUCT "Tarvik"
!define VERSION "1.2"
!define MAKER "Halvenor"
; The plug-in reads its help file's location from here; its parents are the maker's.
!define HELP_KEY "Software\Halvenor\Corvane\Tarvik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik"

Name "${PRODUCT} ${VERSION}"
OutFile "${TARVIK_OUT}"
; The host's plug-in folder.
InstallDir "$PROGRAMFILES\Lumora\Plugins"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "1.2.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка плагина ${PRODUCT} для Lumora"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "${MAKER}"

!include "MUI2.nsh"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "Tarvik"
  SetOutPath "$INSTDIR"
  File "/oname=TarvikD.lmp" "${TARVIK_DLL}"
  File "/oname=Tarvik.chm" "${TARVIK_HELP}"
  WriteRegStr HKCU "${HELP_KEY}" "HelpFile" "$INSTDIR\Tarvik.chm"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\TarvikD.lmp"
  Delete "$INSTDIR\Tarvik.chm"
  Delete "$INSTDIR\uninstall.exe"
  ; The folder goes only when nothing else is left in it: the host's plug-in folder
  ; usually holds other plug-ins.
  RMDir "$INSTDIR"

  DeleteRegValue HKCU "${HELP_KEY}" "HelpFile"
  DeleteRegKey HKCU "${HELP_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Halvenor\Corvane"
  DeleteRegKey /ifempty HKCU "Software\Halvenor"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
