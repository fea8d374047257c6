; The Windows installer of one architecture, made by scripts/windows.sh release with makensis:
;   makensis -DVERSION=1.0.0.1 -DBITS=win64 -DSTAGE=folder -DFILES=list.nsh -DOUTFILE=setup.exe
; STAGE is the `cmake --install` folder of that architecture; FILES lists a Delete line for
; each of its files and an RMDir line for each of its folders, deepest first, for the
; uninstaller, which removes only what was installed.
;
; Installs for the current user (no administrator rights; %LOCALAPPDATA%\Programs) or, when
; run by an administrator, for every user (Program Files); /CurrentUser and /AllUsers choose
; without asking, /S installs silently and /D=DIR sets the folder. A Start-menu entry opens
; the receiver window; the uninstaller is registered in Apps & features.
Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
!if "${BITS}" == "win64"
  Target amd64-unicode
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include x64.nsh

!define kName "Brindlemoor"
!define kUninstallKey "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brindlemoor"
!define kShortcut "$SMPROGRAMS\Brindlemoor.lnk"

Name "${kName} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel highest
BrandingText "${kName} ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${kName}"
VIAddVersionKey "FileDescription" "${kName} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "See LICENSE.txt"

Var PerMachine  ; 1: for every user (HKLM, Program Files); 0: for the current user
Var ModeAll
Var ModeMe

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\brindlemoor.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the ${kName} receiver"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The shell folders, registry hive and default folder of the chosen mode; /D=DIR (already in
; $INSTDIR) wins over the default.
Function ApplyMode
  ${If} $PerMachine == 1
    SetShellVarContext all
    ${If} "${BITS}" == "win64"
      StrCpy $0 "$PROGRAMFILES64\${kName}"
    ${Else}
      StrCpy $0 "$PROGRAMFILES32\${kName}"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    StrCpy $0 "$LOCALAPPDATA\Programs\${kName}"
  ${EndIf}
  ${If} $INSTDIR == ""
  ${OrIf} $INSTDIR == $1
    StrCpy $INSTDIR $0
  ${EndIf}
  StrCpy $1 $0  ; the default given, replaced when the mode changes
FunctionEnd

Function .onInit
  ${If} "${BITS}" == "win64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP "This is the 64-bit ${kName}: on 32-bit Windows install the 32-bit one (win32)." /SD IDOK
      Abort
    ${EndIf}
    SetRegView 64
  ${EndIf}
  StrCpy $1 ""
  UserInfo::GetAccountType
  Pop $0
  StrCpy $PerMachine 0
  ${If} $0 == "Admin"
    StrCpy $PerMachine 1
  ${EndIf}
  ${GetParameters} $2
  ClearErrors
  ${GetOptions} $2 "/CurrentUser" $3
  ${IfNot} ${Errors}
    StrCpy $PerMachine 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $2 "/AllUsers" $3
  ${IfNot} ${Errors}
    ${If} $0 != "Admin"
      MessageBox MB_ICONSTOP "Installing for every user needs administrator rights." /SD IDOK
      SetErrorLevel 5
      Quit
    ${EndIf}
    StrCpy $PerMachine 1
  ${EndIf}
  Call ApplyMode
FunctionEnd

; Who the installation is for: asked only of administrators (others install for themselves).
Function ModePage
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Choose users" "Who will use ${kName} on this computer?"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "Anyone who uses this computer (all users)"
  Pop $ModeAll
  ${NSD_CreateRadioButton} 0 30u 100% 12u "Only for me"
  Pop $ModeMe
  ${If} $PerMachine == 1
    ${NSD_Check} $ModeAll
  ${Else}
    ${NSD_Check} $ModeMe
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModeAll $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $PerMachine 1
  ${Else}
    StrCpy $PerMachine 0
  ${EndIf}
  Call ApplyMode
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The window writes receive.txt and flag.dat into its working folder: the Documents folder.
  SetOutPath "$DOCUMENTS"
  CreateShortCut "${kShortcut}" "$INSTDIR\brindlemoor.exe" "" "$INSTDIR\brindlemoor.exe" 0 \
    SW_SHOWNORMAL "" "Receive text sent as sound"
  SetOutPath "$INSTDIR"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $2 $3
  WriteRegStr SHCTX "${kUninstallKey}" "DisplayName" "${kName} ${VERSION} (${BITS})"
  WriteRegStr SHCTX "${kUninstallKey}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${kUninstallKey}" "Publisher" "The ${kName} developers"
  WriteRegStr SHCTX "${kUninstallKey}" "DisplayIcon" "$INSTDIR\brindlemoor.exe"
  WriteRegStr SHCTX "${kUninstallKey}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${kUninstallKey}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${kUninstallKey}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${kUninstallKey}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${kUninstallKey}" "NoModify" 1
  WriteRegDWORD SHCTX "${kUninstallKey}" "NoRepair" 1
  WriteRegDWORD SHCTX "${kUninstallKey}" "AllUsers" $PerMachine
SectionEnd

; The uninstaller finds its mode from where it is registered: the machine's key when it names
; this folder, the user's otherwise.
Function un.onInit
  ${If} "${BITS}" == "win64"
    SetRegView 64
  ${EndIf}
  SetShellVarContext current
  ReadRegStr $0 HKLM "${kUninstallKey}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "${kShortcut}"
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${kUninstallKey}"
SectionEnd
