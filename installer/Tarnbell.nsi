; Tarnbell's installer: for the current user only, never asking for admin
; rights. Built by installer/CMakeLists.txt, which passes
;   -DVERSION=1.2.3 -DARCH=win32|win64 -DSTAGE=<the shipped files>
;   -DSOURCE=<source tree> -DOUTFILE=<setup.exe>
; The 64-bit installer is itself a 64-bit program: its uninstaller loads the
; 64-bit TarnMixer.dll to unregister it, in the registry view that DLL wrote.
; Silent runs (/S) end with exit code 2 when Tarnbell is running.
; Each build has its own folder, uninstall entry, Start-menu entry and Run
; value, so that both can be installed and removed independently; the
; 64-bit build keeps the names earlier installers used.

!if "${ARCH}" == "win64"
  Target amd64-unicode
  !define BITS 64
  !define PRODUCT "Tarnbell"
!else
  Target x86-unicode
  !define BITS 32
  !define PRODUCT "Tarnbell (32-bit)"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh

; The main window as the program creates it: its class and its caption.
!searchparse /file "${SOURCE}/app/Main.h" `ClassName = "` MAIN_WINDOW_CLASS `"`
!define MAIN_WINDOW_TITLE "Tarnbell"
; The component's class, as it registers it.
!searchparse /file "${SOURCE}/mixer/TarnMixerIds.h" `TarnMixerClsidText = L"` CLSID `"`

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define EXIT_TARNBELL_RUNNING 2

Name "Tarnbell"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "Tarnbell ${VERSION} (${BITS}-bit)"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "Tarnbell"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Tarnbell ${VERSION} setup (${BITS}-bit)"
VIAddVersionKey CompanyName "Tarnbell developers"
VIAddVersionKey LegalCopyright "MIT License, Tarnbell developers"

!define MUI_ICON "${SOURCE}/app/res/tarnbell.ico"
!define MUI_UNICON "${SOURCE}/app/res/tarnbell.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tarnbell.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tarnbell now"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Files in use cannot be replaced or removed, and a running Tarnbell would
; write TB.ini again after the uninstaller removed it: ask the user to exit
; it. A silent run cannot ask, so it ends with an exit code instead. The
; window does not tell which copy runs it: any running Tarnbell (the other
; build, an unzipped copy) counts, and the message says so.
!macro EnsureTarnbellExited un
  Function ${un}EnsureTarnbellExited
    retry:
    FindWindow $0 "${MAIN_WINDOW_CLASS}" "${MAIN_WINDOW_TITLE}"
    StrCmp $0 0 done
    IfSilent stop
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Tarnbell is running (this copy or another one, such as the other build or an unzipped copy). Please exit it first: click its icon in the notification area, then Exit.$\n$\nThen click Retry." \
      IDRETRY retry
    stop:
    SetErrorLevel ${EXIT_TARNBELL_RUNNING}
    Quit
    done:
  FunctionEnd
!macroend
!insertmacro EnsureTarnbellExited ""
!insertmacro EnsureTarnbellExited "un."

Section "Tarnbell" SecMain
  SectionIn RO
  Call EnsureTarnbellExited
  SetOutPath "$INSTDIR"
  ; Never TB.ini: an upgrade keeps the user's choices.
  File "${STAGE}/Tarnbell.exe"
  File "${STAGE}/TarnMixer.dll"
  File "${STAGE}/tarnbell.chm"
  File "${STAGE}/tarnmixer.exe"
  ; The listing tool of earlier versions, which tarnmixer.exe replaces.
  Delete "$INSTDIR\tarnmixer-*.exe"
  File "${STAGE}/readme.txt"
  File "${STAGE}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Tarnbell.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tarnbell developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarnbell.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start Tarnbell when Windows starts" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Tarnbell.exe"'
SectionEnd

; Unticked on an upgrade: no longer start with Windows.
Section "-AutostartOff"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

Function .onInit
!if ${BITS} == 32
  ${If} ${RunningX64}
    MessageBox MB_YESNO|MB_ICONINFORMATION \
      "This installs the 32-bit Tarnbell. On 64-bit Windows the 64-bit one fits better: Tarnbell-${VERSION}-win64-setup.exe.$\n$\nInstall the 32-bit Tarnbell anyway?" \
      /SD IDYES IDYES go_on
    SetErrorLevel 1
    Quit
    go_on:
  ${EndIf}
!endif
  Call EnsureTarnbellExited
  ; An upgrade keeps the earlier choice about starting with Windows.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 != ""
  ${AndIf} $1 == ""
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  Call un.EnsureTarnbellExited
FunctionEnd

Section "Uninstall"
  Call un.EnsureTarnbellExited
  ; The component's own unregistration, run by this installer's bitness,
  ; removes the class entries and the names scripts create it by, which
  ; Tarnbell wrote at each start. A start with admin rights wrote them
  ; machine-wide, which only admin rights remove: asked for when that entry
  ; names this copy.
  ${If} ${FileExists} "$INSTDIR\TarnMixer.dll"
    UnRegDLL "$INSTDIR\TarnMixer.dll"
    ReadRegStr $0 HKLM "Software\Classes\CLSID\${CLSID}\InprocServer32" ""
    ${If} $0 == "$INSTDIR\TarnMixer.dll"
      ExecShellWait "runas" "$SYSDIR\regsvr32.exe" '/s /u "$INSTDIR\TarnMixer.dll"' SW_HIDE
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\Tarnbell.exe"
  Delete "$INSTDIR\TarnMixer.dll"
  Delete "$INSTDIR\tarnbell.chm"
  Delete "$INSTDIR\tarnmixer.exe"
  Delete "$INSTDIR\tarnmixer-*.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\TB.ini"
  Delete "$INSTDIR\TB.ini.tmp"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
