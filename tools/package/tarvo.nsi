; The Windows installer of the Tarvo runtime. Built by tools/package/package.sh
; with makensis, which passes:
;   VERSION   the four-part file version (from the runtime's version block)
;   PRODUCT   the product name, "Tarvo 4.0"
;   NSH       the folder of the file lists that package.sh writes from the
;             staged release tree (install-x64.nsh, install-x86.nsh,
;             install-common.nsh, uninstall.nsh)
;   OUTFILE   the installer to write
;   TARGET    the installer's own stub: x86-unicode (runs everywhere; the
;             release) or amd64-unicode (64-bit Windows only)
;   FAST      (optional) quick zlib compression, for tests
;
; Installs the runtime of the architecture it runs on (x64 on 64-bit
; Windows, x86 otherwise), the binder, the examples and the docs; registers
; .TRV scripts so that opening one runs it; adds Start-menu entries and an
; uninstaller that removes all of it again.
;
; For all users (HKLM, Program Files) when it runs elevated, for the current
; user (HKCU, %LOCALAPPDATA%\Programs) otherwise; /CURRENTUSER installs for
; the current user even when elevated. /S is silent, /D=DIR (last) chooses
; the folder.

Unicode true
!ifdef TARGET
Target ${TARGET}
!endif
!ifdef FAST
SetCompressor zlib
!else
SetCompressor /SOLID lzma
!endif
RequestExecutionLevel user
ManifestSupportedOS all
; In the 64-bit installer ${RunningX64} is constant and LogicLib leaves
; labels of the branch that cannot run unused.
!pragma warning disable 6012

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define APPKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvo"
!define PROGID "Tarvo.Script"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var AllUsers

; Elevated (an administrator's full token) and not asked for /CURRENTUSER:
; for all users.
!macro ChooseContext
  StrCpy $AllUsers 0
  UserInfo::GetAccountType
  Pop $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/CURRENTUSER" $2
  ${If} $0 == "Admin"
  ${AndIf} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
!macroend

Function .onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  !insertmacro ChooseContext
  ${If} $AllUsers == 1
    SetShellVarContext all
    ${If} $INSTDIR == ""
      ${If} ${RunningX64}
        StrCpy $INSTDIR "$PROGRAMFILES64\Tarvo"
      ${Else}
        StrCpy $INSTDIR "$PROGRAMFILES\Tarvo"
      ${EndIf}
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Tarvo"
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Tarvo"
  SetOutPath "$INSTDIR"
  ; The runtime, the binder and the hook library of this machine's
  ; architecture; the lists are written by package.sh from the staged tree.
  ${If} ${RunningX64}
    !include "${NSH}/install-x64.nsh"
  ${Else}
    !include "${NSH}/install-x86.nsh"
  ${EndIf}
  !include "${NSH}/install-common.nsh"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; .TRV scripts open with the runtime. It takes its whole command line as
  ; the script's path, quotes included, so the path goes in without quotes;
  ; a path with blanks still arrives whole.
  WriteRegStr SHCTX "Software\Classes\.trv" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "Tarvo script"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\Tarvopro.exe,0"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\Tarvopro.exe" %1'

  WriteRegStr SHCTX "${APPKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${APPKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${APPKEY}" "Publisher" "Tarvo"
  WriteRegStr SHCTX "${APPKEY}" "DisplayIcon" "$INSTDIR\Tarvopro.exe,0"
  WriteRegStr SHCTX "${APPKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${APPKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${APPKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${APPKEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${APPKEY}" "NoRepair" 1

  CreateDirectory "$SMPROGRAMS\Tarvo"
  CreateShortcut "$SMPROGRAMS\Tarvo\Tarvo runtime.lnk" "$INSTDIR\Tarvopro.exe"
  CreateShortcut "$SMPROGRAMS\Tarvo\Examples.lnk" "$INSTDIR\examples"
  CreateShortcut "$SMPROGRAMS\Tarvo\Language reference.lnk" "$INSTDIR\docs\reference.md"
  CreateShortcut "$SMPROGRAMS\Tarvo\Uninstall Tarvo.lnk" "$INSTDIR\Uninstall.exe"

  ; SHCNE_ASSOCCHANGED: Explorer picks up the new file type.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; The uninstaller works in the context that the installation used: the one
; whose uninstall entry names this folder.
Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  SetShellVarContext current
  ReadRegStr $0 HKLM "${APPKEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Every file of every architecture: the lists name only what the
  ; installer can have written.
  !include "${NSH}/uninstall.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Tarvo\Tarvo runtime.lnk"
  Delete "$SMPROGRAMS\Tarvo\Examples.lnk"
  Delete "$SMPROGRAMS\Tarvo\Language reference.lnk"
  Delete "$SMPROGRAMS\Tarvo\Uninstall Tarvo.lnk"
  RMDir "$SMPROGRAMS\Tarvo"

  ; .trv goes only while it still points at this runtime.
  ReadRegStr $0 SHCTX "Software\Classes\.trv" ""
  ${If} $0 == "${PROGID}"
    DeleteRegKey SHCTX "Software\Classes\.trv"
  ${EndIf}
  DeleteRegKey SHCTX "Software\Classes\${PROGID}"
  DeleteRegKey SHCTX "${APPKEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
