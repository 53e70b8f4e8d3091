; The Windows installer: vorta.exe in Program Files, a Start-menu shortcut, an entry in the
; installed programs, the local group whose members may reach the service, and optionally the
; service. /S installs and uninstalls silently; /SERVICE also installs and starts the service.
; makensis -DVERSION=1.0 -DPROGRAM=path\vorta.exe -DOUTFILE=vorta-setup-1.0.exe vorta.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!ifndef VERSION | PROGRAM | OUTFILE
  !error "VERSION, PROGRAM and OUTFILE are needed"
!endif

!define PRODUCT "Vorta客户端"
!define PUBLISHER "Morvalent"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorta"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} V${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vorta"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} V${VERSION} 安装程序"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

; The Start menu and the uninstaller are the machine's, not the installing administrator's.
Function .onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/SERVICE" $1
  IfErrors +2
  SectionSetFlags 1 ${SF_SELECTED}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Vorta客户端" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=vorta.exe" "${PROGRAM}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vorta.exe" "" "$INSTDIR\vorta.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} V${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorta.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; The members of the local group vorta may reach the service, as the administrators may.
  System::Call '*(w "vorta", w "${PRODUCT}")p.r1'
  System::Call 'netapi32::NetLocalGroupAdd(p 0, i 1, p r1, *i .r2)i.r0'
  System::Free $1
  ; 0: made; 2223 (NERR_GroupExists) and 1379 (ERROR_ALIAS_EXISTS): there already.
  StrCmp $0 0 group_done
  StrCmp $0 2223 group_done
  StrCmp $0 1379 group_done
  DetailPrint "the local group vorta could not be made (error $0)"
  group_done:
SectionEnd

Section /o "以Windows服务方式运行" SecService
  ExecWait '"$INSTDIR\vorta.exe" -install -silent --now' $0
  StrCmp $0 0 +2
  DetailPrint "the service was not installed (exit code $0)"
SectionEnd

Section "Uninstall"
  ; The service goes first (stopped, then removed); without one the run just says so.
  IfFileExists "$INSTDIR\vorta.exe" 0 +2
  ExecWait '"$INSTDIR\vorta.exe" -uninstall -silent --now' $0
  DeleteRegValue HKLM "${RUN_KEY}" "VortaClient"
  DeleteRegValue HKCU "${RUN_KEY}" "VortaClient"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\vorta.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The settings (the machine's and each user's Software\Morvalent\Vorta) stay.
SectionEnd
