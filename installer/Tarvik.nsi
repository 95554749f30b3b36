; Installer of the Tarvik plug-in for Lumora: the plug-in and its help file into the folder
; the user chooses, the help file's location in the current user's registry, and an
; uninstaller that takes exactly that away again.
;
; makensis -INPUTCHARSET UTF8 -DTARVIK_TARGET=x86-unicode|amd64-unicode -DTARVIK_VERSION=1.2
;          -DTARVIK_DLL=<TarvikD.lmp> -DTARVIK_HELP=<Tarvik.chm> -DTARVIK_ICON=<MainIcon.ico>
;          -DTARVIK_OUT=<Tarvik-setup.exe> Tarvik.nsi
; Runs silently with /S; /D=<folder> (last on the command line) chooses the folder.
;
; A per-user installation: the plug-in reads its help file's location from the current
; user's registry only, so the installer runs as that user, without elevation (an
; administrator's elevation would write the value into the administrator's registry),
; and installs into a folder that user can write.

!ifndef TARVIK_TARGET | TARVIK_VERSION | TARVIK_DLL | TARVIK_HELP | TARVIK_ICON | TARVIK_OUT
  !error "TARVIK_TARGET, TARVIK_VERSION, TARVIK_DLL, TARVIK_HELP, TARVIK_ICON and TARVIK_OUT must be defined"
!endif

Unicode true
Target ${TARVIK_TARGET}
SetCompressor /SOLID lzma

!define PRODUCT "Tarvik"
!define MAKER "Halvenor Corvane"
; The plug-in reads its help file's location from here; its parents are the maker's.
!define HELP_KEY "Software\Halvenor\Corvane\Tarvik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik"

Name "${PRODUCT} ${TARVIK_VERSION}"
Caption "${PRODUCT} ${TARVIK_VERSION}"
UninstallCaption "${PRODUCT} ${TARVIK_VERSION}: удаление"
BrandingText "${PRODUCT} ${TARVIK_VERSION} · ${MAKER}"
OutFile "${TARVIK_OUT}"
InstallDir "$LOCALAPPDATA\Programs\Lumora\Plugins"
; A reinstall or an upgrade offers the folder of the copy already installed.
InstallDirRegKey HKCU "${HELP_KEY}" "InstallDir"
RequestExecutionLevel user
ShowInstDetails show
ShowUninstDetails show
; A file that cannot be written gets the question below, never a skip.
SetOverwrite try

VIProductVersion "${TARVIK_VERSION}.0.0"
VIFileVersion "${TARVIK_VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© ${MAKER}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка плагина ${PRODUCT} для Lumora"
VIAddVersionKey /LANG=1049 "FileVersion" "${TARVIK_VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${TARVIK_VERSION}"
VIAddVersionKey /LANG=1049 "OriginalFilename" "Tarvik-setup.exe"

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${TARVIK_ICON}"
!define MUI_UNICON "${TARVIK_ICON}"
; The About box's picture over a gradient of its own blue, 164 x 314, made with
;   convert \( src/resources/art/About.jpg -resize 164x164 \) \
;     \( -size 164x150 gradient:'#6398D3'-'#EEF3FA' \) -append -type TrueColor BMP3:Wizard.bmp
; The build passes a copy that carries the sources' date (makensis keeps each file's date).
!ifndef TARVIK_WIZARD
  !define TARVIK_WIZARD "${__FILEDIR__}\Wizard.bmp"
!endif
!define MUI_WELCOMEFINISHPAGE_BITMAP "${TARVIK_WIZARD}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Программа установит плагин $(^NameDA) для Lumora: горячие клавиши для публикаций и справку к ним.$\r$\n$\r$\nПлагин устанавливается для текущего пользователя Windows, права администратора не нужны.$\r$\n$\r$\nЕсли Lumora запущена, закройте её: запущенная программа держит файл плагина.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "Выберите папку, из которой Lumora загружает плагины. Папка должна быть доступна вам для записи: установка идёт без прав администратора.$\r$\n$\r$\nОбновление предлагает папку уже установленной копии и заменяет её файлы."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The list of what was written stays on screen until Next.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_TITLE "Плагин $(^NameDA) установлен"
!define MUI_FINISHPAGE_TEXT "Файлы плагина записаны в папку$\r$\n$INSTDIR$\r$\n$\r$\nПерезапустите Lumora: плагин загрузится при её запуске, и его команды появятся в категориях $\"Клавиши$\", $\"Дополнительно$\" и $\"События$\".$\r$\n$\r$\nСправка — файл Tarvik.chm в той же папке; в окнах плагина её открывают клавиша F1 и кнопка $\"Справка$\"."
!insertmacro MUI_PAGE_FINISH

!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"

LangString NoWriteAccess ${LANG_RUSSIAN} "Нет доступа на запись в папку$\r$\n$INSTDIR$\r$\n$\r$\nПовтор здесь не поможет. Выберите папку, в которую вы можете записывать, или запустите установку от имени администратора."
LangString FileHeld ${LANG_RUSSIAN} "Не удаётся записать файл$\r$\n$0$\r$\n$\r$\nВероятно, Lumora запущена и держит плагин (или открыта его справка). Закройте её и повторите попытку; отмена прерывает установку."
LangString FileHeldUninstall ${LANG_RUSSIAN} "Не удаётся удалить файл$\r$\n$0$\r$\n$\r$\nВероятно, Lumora запущена и держит плагин (или открыта его справка). Закройте её и повторите попытку; отмена прерывает удаление."

; Puts one file into $INSTDIR under NAME. While it cannot be written because another
; program holds it open (a running host holds the plug-in), asks to retry or cancel;
; silently, cancels with exit code 2. When the folder or the file cannot be written at
; all (no write access, as in Program Files without elevation), retrying never helps:
; says so and stops, silently with exit code 3.
!macro InstallFile SOURCE NAME
  StrCpy $0 "$INSTDIR\${NAME}"
  ${Do}
    ClearErrors
    File "/oname=${NAME}" "${SOURCE}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ; Windows tells the two apart when the file is opened for writing: a sharing or lock
    ; violation (32, 33) for a file held open, access denied or a path it may not make for
    ; the rest.
    System::Call 'kernel32::CreateFileW(w r0, i 0x40000000, i 0, p 0, i 4, i 0x80, p 0) p.r9 ?e'
    Pop $8
    ${If} $9 != -1
      System::Call 'kernel32::CloseHandle(p r9)'
      ${Continue}
    ${EndIf}
    ${If} $8 = 32
    ${OrIf} $8 = 33
      ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileHeld)" /SD IDCANCEL IDCANCEL`
        SetErrorLevel 2
        Abort
      ${EndIf}
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "$(NoWriteAccess)" /SD IDOK
      SetErrorLevel 3
      Abort
    ${EndIf}
  ${Loop}
!macroend

; Deletes the file $0 (a file that is not there is no error); while it cannot be deleted,
; asks to retry or cancel. Silently, cancel.
!macro DeleteFile MESSAGE
  ${Do}
    ClearErrors
    Delete "$0"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${MESSAGE}" /SD IDCANCEL IDCANCEL`
      Abort
    ${EndIf}
  ${Loop}
!macroend

; Cuts the last folder off the path in VAR ("C:\a\b" gives "C:\a"); a path without a
; backslash stays as it is. Works on folders that are not there (GetFullPathName does not).
!macro ParentOf VAR
  StrLen $5 ${VAR}
  ${Do}
    IntOp $5 $5 - 1
    ${If} $5 <= 0
      ${Break}
    ${EndIf}
    StrCpy $6 ${VAR} 1 $5
    ${If} $6 == "\"
      StrCpy ${VAR} ${VAR} $5
      ${Break}
    ${EndIf}
  ${Loop}
!macroend

; Takes away the copy in folder $1 whose outermost folder of the installer's making is
; $2 (empty when the folder was there before): its three files, then the folders from
; $1 up to $2 while they are empty.
!macro RemoveCopy MESSAGE
  StrCpy $0 "$1\TarvikD.lmp"
  !insertmacro DeleteFile "${MESSAGE}"
  StrCpy $0 "$1\Tarvik.chm"
  !insertmacro DeleteFile "${MESSAGE}"
  ; The uninstaller that started this copy of itself may still be leaving: its file goes
  ; when it has, and only then can the folder go.
  ${For} $3 1 50
    Delete "$1\uninstall.exe"
    ${IfNot} ${FileExists} "$1\uninstall.exe"
      ${Break}
    ${EndIf}
    Sleep 100
  ${Next}
  ${If} $2 != ""
    StrCpy $3 "$1"
    ${Do}
      ClearErrors
      RMDir "$3"
      ${If} ${Errors}
      ${OrIf} $3 == $2
        ${Break}
      ${EndIf}
      StrCpy $4 "$3"
      !insertmacro ParentOf $3
      ${If} $3 == $4
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
!macroend

Section "Tarvik"
  ; The copy installed so far, if any: its folder and the outermost folder it made.
  ReadRegStr $7 HKCU "${HELP_KEY}" "InstallDir"
  ReadRegStr $8 HKCU "${HELP_KEY}" "CreatedFolder"

  ; The outermost folder this installation makes, for the uninstaller; an upgrade in
  ; place keeps the one its first installation recorded.
  StrCpy $2 ""
  ${If} $7 == $INSTDIR
    StrCpy $2 $8
  ${EndIf}
  StrCpy $3 "$INSTDIR"
  ${DoUntil} ${FileExists} "$3\*.*"
    StrCpy $2 "$3"
    StrCpy $4 "$3"
    !insertmacro ParentOf $3
    ${If} $3 == $4
      ${Break}
    ${EndIf}
  ${Loop}

  SetOutPath "$INSTDIR"
  !insertmacro InstallFile "${TARVIK_DLL}" "TarvikD.lmp"
  !insertmacro InstallFile "${TARVIK_HELP}" "Tarvik.chm"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${HELP_KEY}" "HelpFile" "$INSTDIR\Tarvik.chm"
  WriteRegStr HKCU "${HELP_KEY}" "InstallDir" "$INSTDIR"
  ${If} $2 != ""
    WriteRegStr HKCU "${HELP_KEY}" "CreatedFolder" "$2"
  ${Else}
    DeleteRegValue HKCU "${HELP_KEY}" "CreatedFolder"
  ${EndIf}

  SectionGetSize 0 $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${TARVIK_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${TARVIK_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  ; An upgrade into another folder moves the copy: the old one goes once the new one is
  ; in place and registered, so a cancel leaves one working copy.
  ${If} $7 != ""
  ${AndIf} $7 != $INSTDIR
    StrCpy $1 $7
    StrCpy $2 $8
    !insertmacro RemoveCopy "$(FileHeld)"
  ${EndIf}
SectionEnd

Section "Uninstall"
  StrCpy $1 "$INSTDIR"
  ReadRegStr $2 HKCU "${HELP_KEY}" "CreatedFolder"
  !insertmacro RemoveCopy "$(FileHeldUninstall)"

  DeleteRegValue HKCU "${HELP_KEY}" "HelpFile"
  DeleteRegValue HKCU "${HELP_KEY}" "InstallDir"
  DeleteRegValue HKCU "${HELP_KEY}" "CreatedFolder"
  DeleteRegKey /ifempty HKCU "${HELP_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Halvenor\Corvane"
  DeleteRegKey /ifempty HKCU "Software\Halvenor"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
