; Textquirl's setup for 64-bit Windows 10 and 11, made with NSIS 3 by
; `cmake --build <Windows build> --target setup` (see CMakeLists.txt beside
; this file, which writes the settings in ${CONFIG}).
;
; Installs for the current user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Textquirl: the program, its licence and the
; uninstaller; a Start-menu shortcut "Textquirl" and an entry under Apps (the
; user's Uninstall key). /S installs and uninstalls silently. Installing over
; an installed Textquirl replaces it in place. While Textquirl runs, the setup
; asks to close it (silently it fails with exit code 2), and the old program
; stays whole until the new one is there.

Unicode true
Target amd64-unicode

!include "${CONFIG}"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PROGRAM "textquirl.exe"
!define SHORTCUT "$SMPROGRAMS\Textquirl.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_APP_ID}"

Name "Textquirl"
OutFile "${SETUP_FILE}"
InstallDir "$LOCALAPPDATA\Programs\Textquirl"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
BrandingText "Textquirl ${PRODUCT_VERSION}"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_ABORTWARNING

; A small program for one user: nothing else needs closing, nothing of the
; system is touched, so the welcome page says what happens instead.
!define MUI_WELCOMEPAGE_TEXT "Dieser Assistent installiert Textquirl ${PRODUCT_VERSION} nur für Sie, ohne Administratorrechte, in Ihren Benutzerordner.$\r$\n$\r$\nTextquirl verwurschtelt Text für die Zwischenablage. Es erscheint im Startmenü und unter „Einstellungen → Apps“, wo Sie es wieder entfernen können.$\r$\n$\r$\nKlicken Sie auf „Weiter“, um fortzufahren."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENCE_PAGE_FILE}"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryWhenInstalled
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"

; The setup's own version resource, in German.
VIProductVersion "${PRODUCT_VERSION_QUAD}"
VIFileVersion "${PRODUCT_VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "Textquirl"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Installationsprogramm für Textquirl"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "${PRODUCT_PUBLISHER}"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "${PRODUCT_COPYRIGHT}"

; Returns once no Textquirl window is open; until then asks the user to close
; it (OK to look again, Cancel to stop). Cancel, or a running Textquirl in
; silent mode, aborts before a file is touched.
!macro DEFINE_WAIT_UNTIL_CLOSED prefix
Function ${prefix}WaitUntilClosed
  ${Do}
    FindWindow $0 "${PRODUCT_WINDOW_CLASS}"
    ${If} $0 == 0
      Return
    ${EndIf}
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION \
      "Textquirl läuft gerade.$\r$\n$\r$\nBitte schließen Sie Textquirl und klicken Sie dann auf OK." \
      /SD IDCANCEL IDOK retry
    DetailPrint "Abgebrochen: Textquirl läuft noch."
    Abort "Textquirl läuft noch; nichts wurde verändert."
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_WAIT_UNTIL_CLOSED ""
!insertmacro DEFINE_WAIT_UNTIL_CLOSED "un."

; Stops with a German message; the installation stays as it was.
!macro FAIL message
  MessageBox MB_OK|MB_ICONSTOP "${message}" /SD IDOK
  Abort "${message}"
!macroend

; An installed Textquirl is replaced where it is: no choice of folder then.
Function SkipDirectoryWhenInstalled
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Abort
  ${EndIf}
FunctionEnd

Section "Textquirl" SecProgram
  SectionIn RO
  Call WaitUntilClosed
  SetOutPath "$INSTDIR"

  ; The new program arrives under another name first; the old one is removed
  ; only once it is there (a program still running cannot be removed), and
  ; the new one takes its name in one rename.
  ClearErrors
  File "/oname=${PROGRAM}.neu" "${PROGRAM_FILE}"
  ${If} ${Errors}
    Delete "$INSTDIR\${PROGRAM}.neu"
    !insertmacro FAIL "Textquirl konnte nicht nach $INSTDIR geschrieben werden."
  ${EndIf}
  Delete "$INSTDIR\${PROGRAM}"
  ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
    Delete "$INSTDIR\${PROGRAM}.neu"
    !insertmacro FAIL "Das installierte Textquirl ist noch in Gebrauch und konnte nicht ersetzt werden. Bitte schließen Sie Textquirl und starten Sie die Installation noch einmal."
  ${EndIf}
  Rename "$INSTDIR\${PROGRAM}.neu" "$INSTDIR\${PROGRAM}"
  File "/oname=LICENSE.txt" "${LICENCE_FILE}"

  ; An installation in another folder (chosen by /D=) goes, so that one remains.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    Delete "$0\${PROGRAM}"
    Delete "$0\LICENSE.txt"
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 SW_SHOWNORMAL "" \
    "${PRODUCT_SUMMARY}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Textquirl"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${PRODUCT_VERSION_MAJOR}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${PRODUCT_VERSION_MINOR}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT_PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${PRODUCT_WEB_ADDRESS}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes exactly what the setup put there; the folder only if nothing else
; is left in it.
Section "Uninstall"
  Call un.WaitUntilClosed
  Delete "$INSTDIR\${PROGRAM}"
  ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
    !insertmacro FAIL "Textquirl ist noch in Gebrauch und konnte nicht entfernt werden. Bitte schließen Sie Textquirl und versuchen Sie es noch einmal."
  ${EndIf}
  Delete "$INSTDIR\${PROGRAM}.neu"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs"  ; if the setup made it and nothing else is in it
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
