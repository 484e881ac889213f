; Windows installer: vis_tavelmir.dll into the player's Plugins folder, its data into Plugins\TavelDat.
; Built by packaging/CMakeLists.txt: makensis -DVERSION= -DVERSION_QUAD= -DSTAGE_DIR= -DLISTS_DIR= -DOUT_FILE=
;                                    -DICON_FILE=

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Ombrelo Tunnel"
!define LIBRARY "Tavelmir Visualization Library"
; Each install folder has its own Add/Remove Programs entry: this root, a blank and eight hexadecimal digits
; from the folder (see FolderUninstallKey). Installers before that wrote the root alone, for whatever folder.
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY_BASE "Tavelmir Ombrelo Tunnel"
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
Var UninstallKey
; The finish page's display choice: its radio buttons in DisplayMode order, or none when it is not offered.
Var DisplayRadio0
Var DisplayRadio1
Var DisplayRadio2
Var DisplayRadio3

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT}, the visualization of the ${LIBRARY}, into Winamp.$\r$\n$\r$\nClose Winamp before you go on."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE_DIR}/LICENSE.txt"
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
!define MUI_PAGE_CUSTOMFUNCTION_SHOW OfferDisplayChoice
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE StoreDisplayChoice
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

; A new install (plugin.ini holds no DisplayMode yet) may choose how the effect shows, as the settings' Display
; dialog does; a copy whose user chose already keeps the choice. Only the page shows the buttons, so a silent
; install never writes the key.
Function OfferDisplayChoice
  StrCpy $DisplayRadio0 ""
  ClearErrors
  ReadINIStr $0 "$INSTDIR\Plugins\plugin.ini" "${PRODUCT}" "DisplayMode"
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ${NSD_CreateLabel} 120u 106u 195u 10u "How the effect shows (Configure, Display... changes it later):"
  Pop $0
  SetCtlColors $0 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  ${NSD_CreateRadioButton} 120u 119u 195u 10u "&Full screen (or the nearest the screen offers)"
  Pop $DisplayRadio0
  ${NSD_CreateRadioButton} 120u 131u 195u 10u "Full screen at &320 x 200 only"
  Pop $DisplayRadio1
  ${NSD_CreateRadioButton} 120u 143u 195u 10u "In a &window"
  Pop $DisplayRadio2
  ${NSD_CreateRadioButton} 120u 155u 195u 10u "Doc&ked in the player's window"
  Pop $DisplayRadio3
  ${NSD_AddStyle} $DisplayRadio0 ${WS_GROUP}
  ${NSD_Check} $DisplayRadio0
  SetCtlColors $DisplayRadio0 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  SetCtlColors $DisplayRadio1 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  SetCtlColors $DisplayRadio2 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
  SetCtlColors $DisplayRadio3 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
FunctionEnd

; Written only when the user changed the default, full screen.
Function StoreDisplayChoice
  ${If} $DisplayRadio0 == ""
    Return
  ${EndIf}
  StrCpy $1 0
  ${NSD_GetState} $DisplayRadio1 $0
  ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $1 1 ${|}
  ${NSD_GetState} $DisplayRadio2 $0
  ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $1 2 ${|}
  ${NSD_GetState} $DisplayRadio3 $0
  ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $1 3 ${|}
  ${If} $1 != 0
    WriteINIStr "$INSTDIR\Plugins\plugin.ini" "${PRODUCT}" "DisplayMode" $1
  ${EndIf}
FunctionEnd

; The Add/Remove Programs key of the copy in a Plugins folder: on the stack the folder, back the key. The
; folder is taken as Windows compares paths (long names, any case), so the uninstaller, started from another
; spelling of the same folder, finds the entry the installer wrote; shlwapi's HashData makes the digits.
!macro DefineFolderUninstallKey un
Function ${un}FolderUninstallKey
  Exch $0
  Push $1
  Push $2
  System::Call 'kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
  ${If} $2 > 0
  ${AndIf} $2 < ${NSIS_MAX_STRLEN}
    StrCpy $0 $1
  ${EndIf}
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  System::Call 'user32::CharLowerW(w r0 r0)'
  StrLen $2 $0
  IntOp $2 $2 * 2
  System::Call 'shlwapi::HashData(w r0, i r2, *i 0 r1, i 4) i .r2'
  ${If} $2 != 0
    MessageBox MB_OK|MB_ICONSTOP "Windows could not derive the Add/Remove Programs entry of$\r$\n$0" /SD IDOK
    Abort
  ${EndIf}
  IntFmt $1 "%08X" $1
  StrCpy $0 "${UNINSTALL_ROOT}\${UNINSTALL_KEY_BASE} $1"
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro DefineFolderUninstallKey ""
!insertmacro DefineFolderUninstallKey "un."

Section "Install"
  SetOutPath "$INSTDIR\Plugins"
  File "${STAGE_DIR}/vis_tavelmir.dll"
  SetOutPath "$INSTDIR\Plugins\TavelDat"
  !include "${LISTS_DIR}/install_data_files.nsh"
  File "${STAGE_DIR}/README-Windows.txt"
  File "${STAGE_DIR}/display-dialog.png"
  File "${STAGE_DIR}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\Plugins\TavelDat\${UNINSTALLER}"

  ; The one entry of earlier installers belongs to this folder only if it names it; another folder keeps it.
  ReadRegStr $0 HKLM "${UNINSTALL_ROOT}\${UNINSTALL_KEY_BASE}" "InstallLocation"
  ${If} $0 == "$INSTDIR\Plugins"
    DeleteRegKey HKLM "${UNINSTALL_ROOT}\${UNINSTALL_KEY_BASE}"
  ${EndIf}
  Push "$INSTDIR\Plugins"
  Call FolderUninstallKey
  Pop $UninstallKey

  ; Two copies in two players' folders are told apart by the folder in their names.
  WriteRegStr HKLM $UninstallKey "DisplayName" "${PRODUCT} (${LIBRARY}) in $INSTDIR"
  WriteRegStr HKLM $UninstallKey "DisplayIcon" "$INSTDIR\Plugins\TavelDat\${UNINSTALLER},0"
  WriteRegStr HKLM $UninstallKey "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM $UninstallKey "Publisher" "${LIBRARY}"
  WriteRegStr HKLM $UninstallKey "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM $UninstallKey "UninstallString" '"$INSTDIR\Plugins\TavelDat\${UNINSTALLER}"'
  WriteRegStr HKLM $UninstallKey "QuietUninstallString" '"$INSTDIR\Plugins\TavelDat\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM $UninstallKey "NoModify" 1
  WriteRegDWORD HKLM $UninstallKey "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins\TavelDat" "/S=0K" $0 $1 $2
  ${GetSize} "$INSTDIR\Plugins" "/M=vis_tavelmir.dll /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  WriteRegDWORD HKLM $UninstallKey "EstimatedSize" $0
SectionEnd

Function un.onInit
  StrCpy $TavelDatDir $INSTDIR
  ${GetParent} $INSTDIR $PlayerPlugins
  Push $PlayerPlugins
  Call un.FolderUninstallKey
  Pop $UninstallKey
FunctionEnd

; Only the names this package installed: the user's palettes and plugin.ini (which Winamp's other plug-ins share)
; stay, and TavelDat goes only when nothing of the user's is left in it.
Section "Uninstall"
  Delete /REBOOTOK "$PlayerPlugins\vis_tavelmir.dll"
  !include "${LISTS_DIR}/uninstall_data_files.nsh"
  Delete "$TavelDatDir\README-Windows.txt"
  Delete "$TavelDatDir\display-dialog.png"
  Delete "$TavelDatDir\LICENSE.txt"
  Delete "$TavelDatDir\${UNINSTALLER}"
  SetOutPath $TEMP
  RMDir "$TavelDatDir"
  DeleteRegKey HKLM $UninstallKey
SectionEnd
