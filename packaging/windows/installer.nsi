; The Windows installer: per-machine into Program Files, a Start-menu shortcut and an optional
; desktop shortcut, an entry in Add/Remove Programs, and an uninstaller that takes away exactly
; what was installed (the user's saved files in Documents\tesvaron stay).
; scripts/windows.sh runs makensis with -DSTAGE=<folder> -DOUTFILE=<setup.exe> -DICON=<.ico>
; -DSIZE_KB=<n>, with package.nsh (names, version) and files.nsh / unfiles.nsh (the staged
; files) beside this script.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "x64.nsh"
!include /CHARSET=UTF8 "package.nsh"

!define APP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\tesvaron"

Name "${DISPLAY_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\tesvaron"
InstallDirRegKey HKLM "${APP_KEY}" "InstallLocation"
BrandingText "${DISPLAY_NAME} ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=2052 "ProductName" "${DISPLAY_NAME}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${DISPLAY_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tesvaron.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one used when Windows asks for none of these.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString DESC_MAIN ${LANG_SIMPCHINESE} "程序、命令行工具和运行所需的文件"
LangString DESC_MAIN ${LANG_ENGLISH} "The program, the command-line tool and what they need"
LangString DESC_DESKTOP ${LANG_SIMPCHINESE} "在桌面上放一个快捷方式"
LangString DESC_DESKTOP ${LANG_ENGLISH} "A shortcut on the desktop"
LangString NEEDS_64BIT ${LANG_SIMPCHINESE} "本程序需要 64 位 Windows。"
LangString NEEDS_64BIT ${LANG_ENGLISH} "This program needs 64-bit Windows."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "$(NEEDS_64BIT)" /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "!${DISPLAY_NAME}" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  !include "files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${DISPLAY_NAME}.lnk" "$INSTDIR\tesvaron.exe" "" "$INSTDIR\tesvaron.exe" 0

  WriteRegStr HKLM "${APP_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${APP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${APP_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${APP_KEY}" "DisplayIcon" "$INSTDIR\tesvaron.exe,0"
  WriteRegStr HKLM "${APP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${APP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${APP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${APP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${APP_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${APP_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "桌面快捷方式" SecDesktop
  CreateShortCut "$DESKTOP\${DISPLAY_NAME}.lnk" "$INSTDIR\tesvaron.exe" "" "$INSTDIR\tesvaron.exe" 0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "$(DESC_MAIN)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "$(DESC_DESKTOP)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Only what the installer put there: files by name, then the folders if they are empty. Saved
; measurements live in Documents\tesvaron and are never touched.
Section "Uninstall"
  Delete "$SMPROGRAMS\${DISPLAY_NAME}.lnk"
  Delete "$DESKTOP\${DISPLAY_NAME}.lnk"
  !include "unfiles.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${APP_KEY}"
SectionEnd
