; orrelune-setup.exe: installs the saver that fits the system where the
; Screen Saver Settings list savers, and an uninstaller that Apps & features
; lists. packaging/CMakeLists.txt runs makensis on it with VERSION,
; COPYRIGHT, PUBLISHER, SCR64, SCR32, README, LICENSE, ICON and OUTFILE
; defined.
;
; The Screen Saver Settings list the savers in the system folder (System32;
; on 64-bit Windows also SysWOW64) and the Windows folder, and otherwise only
; the current saver: a per-user install elsewhere would vanish from the list
; as soon as another saver is chosen. So the setup asks for elevation, for
; the system folder alone; the rest (the uninstaller, README.txt and
; LICENSE.txt) goes in Program Files.

Unicode true
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
Name "Orrelune"
OutFile "${OUTFILE}"
BrandingText "Orrelune ${VERSION}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orrelune"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SETTINGS_KEY "Software\Orrelune"
; SystemParametersInfo's action and flags: the system starts or stops using
; the saver at once, and the user's ScreenSaveActive value says so.
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "Orrelune"
VIAddVersionKey /LANG=1033 FileDescription "Orrelune setup"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 LegalCopyright "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 OriginalFilename "orrelune-setup.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; "1" where the 64-bit saver is the one for this system.
Var native64

; Which saver fits: the 64-bit one on x64 Windows, where it goes into the
; real System32 (the setup is a 32-bit program, whose System32 is SysWOW64)
; and the uninstaller is entered in the 64-bit registry; the 32-bit one on
; 32-bit Windows. Other processors (ARM64) are left to the zips. The saver's
; path is "$SYSDIR\orrelune.scr" either way.
!macro ORRELUNE_CHOOSE un
Function ${un}choose_saver
  ${If} ${IsNativeAMD64}
    StrCpy $native64 1
    SetRegView 64
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\Orrelune"
    ${EndIf}
  ${ElseIf} ${IsNativeIA32}
    StrCpy $native64 0
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES\Orrelune"
    ${EndIf}
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "This setup is for x86 and x64 Windows. On other processors use the 32-bit zip." /SD IDOK
    Abort
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Orrelune goes into the Windows system folder: run this as an administrator." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; The system folder as this system's saver sees it. Only around file
; operations there: with the redirection off, a 32-bit program would load
; 64-bit system DLLs.
Function ${un}system_folder_on
  ${If} $native64 == 1
    ${DisableX64FSRedirection}
  ${EndIf}
FunctionEnd

Function ${un}system_folder_off
  ${If} $native64 == 1
    ${EnableX64FSRedirection}
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ORRELUNE_CHOOSE ""
!insertmacro ORRELUNE_CHOOSE "un."

Function .onInit
  Call choose_saver
FunctionEnd

Function un.onInit
  Call un.choose_saver
FunctionEnd

Section "Orrelune screen saver" section_saver
  SectionIn RO
  Call system_folder_on
  SetOutPath $SYSDIR
  ${If} $native64 == 1
    File /oname=orrelune.scr "${SCR64}"
  ${Else}
    File /oname=orrelune.scr "${SCR32}"
  ${EndIf}
  ${GetSize} $SYSDIR "/M=orrelune.scr /S=0K /G=0" $1 $2 $3
  Call system_folder_off

  SetOutPath $INSTDIR
  File /oname=README.txt "${README}"
  File /oname=LICENSE.txt "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${GetSize} $INSTDIR "/S=0K" $0 $2 $3
  IntOp $0 $0 + $1

  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "Orrelune"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$SYSDIR\orrelune.scr,0"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

Section "Make Orrelune the current screen saver" section_current
  WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE "$SYSDIR\orrelune.scr"
  System::Call "user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})"
SectionEnd

Section "un.Orrelune screen saver"
  SectionIn RO
  ; The current saver is unset only while it is still this one, by any
  ; spelling of its path: the user may have chosen another since.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  ExpandEnvStrings $0 $0
  ${If} $0 == "$SYSDIR\orrelune.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
    System::Call "user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_UPDATE_AND_SEND})"
  ${EndIf}

  Call un.system_folder_on
  Delete /REBOOTOK "$SYSDIR\orrelune.scr"
  Call un.system_folder_off

  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: what else is there is not ours.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; The user's own choices stay unless asked for (and so after /S).
Section /o "un.Your Orrelune settings (resolution and colour depth)"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
