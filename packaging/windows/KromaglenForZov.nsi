; The Windows installer: the program folder (the program and the archive
; program, their Qt and MinGW runtime libraries and plugins, the recordings in
; hang\) installed into a folder the user can write, because the programs keep
; their settings files and the archive in their working folder; Start-menu
; shortcuts that start them there; an uninstaller. Built by scripts/package-windows:
;   makensis -DSOURCE=<program folder> -DOUTFILE=<setup.exe> -DVERSION=<x.y> KromaglenForZov.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define PRODUCT "KromaglenForZov"
!define ARCHIVE "KromaglenArchive"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Not under Program Files: a standard user must be able to write the settings
; files and may install without administrator rights.
InstallDir "$LOCALAPPDATA\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
ShowInstDetails show
ShowUninstDetails show

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PRODUCT}.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Hungarian"

LangString SHORTCUT_DESC ${LANG_HUNGARIAN} "Festékréteg-vastagság mérése a Kromaglen műszerrel"
LangString ARCHIVE_DESC ${LANG_HUNGARIAN} "A korábbi mérések archívuma"
LangString UNINSTALL_NAME ${LANG_HUNGARIAN} "${PRODUCT} eltávolítása"
LangString KEPT_FILES ${LANG_HUNGARIAN} "A beállítások és az archívum megmaradnak itt: $INSTDIR"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_HUNGARIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_HUNGARIAN} "FileDescription" "${PRODUCT} telepítő"
VIAddVersionKey /LANG=${LANG_HUNGARIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_HUNGARIAN} "LegalCopyright" ""

Section "${PRODUCT}" SecMain
    SectionIn RO
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The shortcut starts the program in its folder (the output path is the
    ; shortcut's working folder), where the settings files and hang\ are.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\${PRODUCT}.exe" "" \
        "$INSTDIR\${PRODUCT}.exe" 0 SW_SHOWNORMAL "" "$(SHORTCUT_DESC)"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${ARCHIVE}.lnk" "$INSTDIR\${ARCHIVE}.exe" "" \
        "$INSTDIR\${ARCHIVE}.exe" 0 SW_SHOWNORMAL "" "$(ARCHIVE_DESC)"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\$(UNINSTALL_NAME).lnk" "$INSTDIR\Uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there, file by file (the list is made from
; the program folder), and leaves the user's settings files and the folder
; that holds them.
Section "Uninstall"
    SetShellVarContext current
    !include "${FILELIST}"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${ARCHIVE}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\$(UNINSTALL_NAME).lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    RMDir "$INSTDIR"
    IfFileExists "$INSTDIR\*.*" 0 +2
        DetailPrint "$(KEPT_FILES)"
SectionEnd
