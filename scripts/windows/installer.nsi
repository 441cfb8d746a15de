; The Windows installer, made by scripts/build-windows.sh with makensis:
;   makensis -INPUTCHARSET UTF8 -DVERSION=<x.y.z> -DSTAGE=<folder> -DOUTFILE=<setup.exe> installer.nsi
; STAGE holds the portable program folder and the two lists of its files the
; build script writes (files-install.nsh, files-uninstall.nsh).
;
; Per user, without administrator rights, into %LOCALAPPDATA%\Programs\Vemo文本收集器.
; The library (VBCode.mdb) and its backups live beside the program: an upgrade
; never replaces the library, and the uninstaller leaves both unless the user
; ticks the box that removes them. /S installs and uninstalls silently (the
; library then stays).
; 64 bits like the program (and Wine without its 32-bit part runs it).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!define PRODUCT "Vemo文本收集器"
!define PUBLISHER "VemoTools"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${STAGE}/${PRODUCT}.ico"
!define MUI_UNICON "${STAGE}/${PRODUCT}.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\vemo.exe"
!define MUI_UNCOMPONENTSPAGE_TEXT_TOP "程序文件将被删除。您的文本库 VBCode.mdb 和备份文件夹 backup 默认保留；勾选下面一项才会一并删除。"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "-program"
  SetOutPath "$INSTDIR"
  !include "${STAGE}/files-install.nsh"
  ; The empty library only where none is yet: it holds the user's texts.
  SetOverwrite off
  File "${STAGE}/VBCode.mdb"
  SetOverwrite on

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vemo.exe" "" "$INSTDIR\${PRODUCT}.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PRODUCT}.ico"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "un.程序文件" UnProgram
  SectionIn RO
  !include "${STAGE}/files-uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; The shortcuts and the start-with-Windows entry the program makes itself
  ; would point at a program that is gone.
  Delete "$DESKTOP\${PRODUCT}.lnk"
  ReadRegStr $0 HKCU "${RUN_KEY}" "vemo"
  StrCmp $0 '"$INSTDIR\vemo"' 0 +2
    DeleteRegValue HKCU "${RUN_KEY}" "vemo"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.同时删除文本库 (VBCode.mdb) 和备份" UnLibrary
  Delete "$INSTDIR\VBCode.mdb"
  Delete "$INSTDIR\VBCode.mdb-journal"
  Delete "$INSTDIR\VBCode.mdb-wal"
  Delete "$INSTDIR\VBCode.mdb-shm"
  RMDir /r "$INSTDIR\backup"
SectionEnd

Section "-un.folder"
  ; Removed only when nothing of the user's is left in it.
  RMDir "$INSTDIR"
SectionEnd
