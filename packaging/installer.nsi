; Windows installer: vis_tavelmir.dll into the player's Plugins folder, its data into Plugins\TavelDat.
; Built by packaging/CMakeLists.txt: makensis -DVERSION= -DVERSION_QUAD= -DSTAGE_DIR= -DLISTS_DIR= -DOUT_FILE=

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Ombrelo Tunnel"
!define LIBRARY "Tavelmir Visualization Library"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelmir Ombrelo Tunnel"
!define UNINSTALLER "Uninstall Ombrelo Tunnel.exe"

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
BrandingText "${LIBRARY} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${LIBRARY}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${LIBRARY}"

; The uninstaller lives in TavelDat, so its $INSTDIR is that folder; the DLL sits one level up.
Var TavelDatDir
Var PlayerPlugins

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT}, the visualization of the ${LIBRARY}, into Winamp.$\r$\n$\r$\nClose Winamp before you go on."
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs ${PRODUCT} into the Plugins folder of the Winamp installation below: vis_tavelmir.dll into Plugins, its palettes and fade table into Plugins\TavelDat.$\r$\n$\r$\nIf Winamp is installed elsewhere, click Browse and choose its folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!define MUI_PAGE_HEADER_SUBTEXT "Choose the Winamp folder whose Plugins folder receives ${PRODUCT}."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckPlayerFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "In Winamp open Preferences (Ctrl+P), then Plug-ins, Visualization; choose ${LIBRARY} and ${PRODUCT}, then Start. Configure opens its settings."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Plugins\TavelDat\README-Windows.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} (${LIBRARY}) will be removed from the folder below. Palettes of your own in TavelDat and your settings in plugin.ini are kept."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Winamp records its folder as the default value of HKCU\Software\Winamp and, through its uninstaller's path,
; under its Add/Remove Programs key. A /D= on the command line wins over both.
Function .onInit
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "Software\Winamp" ""
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\*.*"
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
  StrCpy $1 $0 1
  ${If} $1 == '"'
    ; "C:\...\UninstWA.exe" [arguments]: keep what is between the quotes
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${If} $0 != ""
    ${GetParent} $0 $0
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\*.*"
      StrCpy $INSTDIR $0
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
FunctionEnd

Function CheckPlayerFolder
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_YESNO|MB_ICONQUESTION "There is no winamp.exe in$\r$\n$INSTDIR$\r$\n$\r$\nInstall ${PRODUCT} into its Plugins folder anyway?" /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR\Plugins"
  File "${STAGE_DIR}/vis_tavelmir.dll"
  SetOutPath "$INSTDIR\Plugins\TavelDat"
  !include "${LISTS_DIR}/install_data_files.nsh"
  File "${STAGE_DIR}/README-Windows.txt"
  WriteUninstaller "$INSTDIR\Plugins\TavelDat\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (${LIBRARY})"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${LIBRARY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\TavelDat\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\TavelDat\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins\TavelDat" "/S=0K" $0 $1 $2
  ${GetSize} "$INSTDIR\Plugins" "/M=vis_tavelmir.dll /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  StrCpy $TavelDatDir $INSTDIR
  ${GetParent} $INSTDIR $PlayerPlugins
FunctionEnd

; Only the names this package installed: the user's palettes and plugin.ini (which Winamp's other plug-ins share)
; stay, and TavelDat goes only when nothing of the user's is left in it.
Section "Uninstall"
  Delete /REBOOTOK "$PlayerPlugins\vis_tavelmir.dll"
  !include "${LISTS_DIR}/uninstall_data_files.nsh"
  Delete "$TavelDatDir\README-Windows.txt"
  Delete "$TavelDatDir\${UNINSTALLER}"
  SetOutPath $TEMP
  RMDir "$TavelDatDir"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
