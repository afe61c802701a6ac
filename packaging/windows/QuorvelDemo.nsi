; The Windows installer: one program for 32-bit and 64-bit Windows. tools/package.sh builds it:
;   makensis -WX -DVERSION=x.y.z -DDLL32=<32-bit DLL> -DDLL64=<64-bit DLL> -DOUTFILE=<setup.exe>
;
; Components: the 32-bit plug-in (always offered) and the 64-bit plug-in (offered on 64-bit
; Windows), each with its folder page. A folder defaults to HKLM\SOFTWARE\VST\VSTPluginsPath of
; the matching registry view (32-bit view for the 32-bit plug-in, 64-bit view for the other),
; otherwise to the usual VstPlugins folder under Program Files (x86) or Program Files.
; The folders used are recorded under HKLM\Software\Almacor\Quorvel Demo; the uninstaller (in
; Program Files\Almacor\Quorvel Demo, listed in Add/Remove Programs) removes the DLLs it
; installed there and nothing else in those folders.
;
; A DLL is written beside its target under a temporary name first and renamed over it only once
; the old one is deleted; a DLL a host has loaded cannot be deleted, so that is reported with
; Retry/Cancel and the old DLL stays whole. Silent mode fails instead (exit code 2).
;
; Switches (silent: /S):
;   /VST32DIR=<folder>   folder of the 32-bit plug-in    /NOVST32   do not install it
;   /VST64DIR=<folder>   folder of the 64-bit plug-in    /NOVST64   do not install it
; A folder with spaces is quoted after the equals sign: /VST32DIR="C:\My Plugins"

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; Installed files get the time of installation: no build time is kept in the installer.
SetDateSave off
; A file that cannot be written is Retry/Cancel (in silent mode: cancel), never skipped.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "Quorvel Demo"
!define MAKER "Almacor"
!define MAKER_KEY "Software\${MAKER}\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelDemo"
!define DLL "QuorvelDemo.dll"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The uninstaller's own folder; the plug-ins go to the folders chosen on their pages.
InstallDir "$PROGRAMFILES32\${MAKER}\${PRODUCT}"
BrandingText "${MAKER} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 CompanyName "${MAKER}"
VIAddVersionKey /LANG=1033 LegalCopyright "${MAKER}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} installer"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"

Var Vst32Dir
Var Vst64Dir

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst32Page
!define MUI_DIRECTORYPAGE_VARIABLE $Vst32Dir
!define MUI_PAGE_HEADER_TEXT "Folder of the 32-bit plug-in"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 32-bit hosts look for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The 32-bit plug-in (${DLL}) is installed in this folder. Choose the folder your 32-bit hosts scan for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "32-bit VST 2 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst64Page
!define MUI_DIRECTORYPAGE_VARIABLE $Vst64Dir
!define MUI_PAGE_HEADER_TEXT "Folder of the 64-bit plug-in"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 64-bit hosts look for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "The 64-bit plug-in (${DLL}) is installed in this folder. Choose the folder your 64-bit hosts scan for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "64-bit VST 2 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; The maker's key and the uninstall entry live in the machine's own registry view.
!macro UseNativeRegView
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
!macroend

; Puts the DLL extracted as $0\${DLL}.new in place of $0\${DLL}.
Function ReplaceDll
retry:
    ClearErrors
    ${If} ${FileExists} "$0\${DLL}"
        Delete "$0\${DLL}"
    ${EndIf}
    ${IfNot} ${Errors}
        Rename "$0\${DLL}.new" "$0\${DLL}"
    ${EndIf}
    ${If} ${Errors}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0\${DLL} is in use (a host has it loaded) and cannot be replaced.$\r$\n$\r$\nClose the host, then choose Retry." /SD IDCANCEL IDRETRY retry
        Delete "$0\${DLL}.new"
        Abort "$0\${DLL} is in use and was not replaced; nothing was changed there."
    ${EndIf}
FunctionEnd

; Installs SOURCE into the folder in $0 and records the folder under VALUE (Vst32Dir, Vst64Dir).
!macro InstallPlugin SOURCE VALUE
    StrCpy $1 0
    ${IfNot} ${FileExists} "$0\*.*"
        StrCpy $1 1
    ${EndIf}
    SetOutPath "$0"
    File "/oname=$0\${DLL}.new" "${SOURCE}"
    Call ReplaceDll
    DetailPrint "Installed $0\${DLL}"
    !insertmacro UseNativeRegView
    ; A copy installed before in another folder is moved, not left behind.
    ReadRegStr $2 HKLM "${MAKER_KEY}" "${VALUE}"
    ${If} $2 != ""
    ${AndIf} $2 != $0
        Delete "$2\${DLL}"
        WriteRegDWORD HKLM "${MAKER_KEY}" "${VALUE}Created" 0
    ${EndIf}
    WriteRegStr HKLM "${MAKER_KEY}" "${VALUE}" "$0"
    ${If} $1 == 1
        WriteRegDWORD HKLM "${MAKER_KEY}" "${VALUE}Created" 1
    ${EndIf}
    SetRegView 32
!macroend

Section "32-bit plug-in (32-bit hosts)" SecVst32
    StrCpy $0 $Vst32Dir
    !insertmacro InstallPlugin "${DLL32}" Vst32Dir
SectionEnd

Section "64-bit plug-in (64-bit hosts)" SecVst64
    StrCpy $0 $Vst64Dir
    !insertmacro InstallPlugin "${DLL64}" Vst64Dir
SectionEnd

; Adds the size of file $9, in KiB, to $8.
Function AddSize
    ClearErrors
    FileOpen $7 "$9" r
    ${IfNot} ${Errors}
        FileSeek $7 0 END $6
        FileClose $7
        IntOp $6 $6 + 1023
        IntOp $6 $6 / 1024
        IntOp $8 $8 + $6
    ${EndIf}
FunctionEnd

Section "-uninstaller"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    !insertmacro UseNativeRegView
    WriteRegStr HKLM "${MAKER_KEY}" "Version" "${VERSION}"
    StrCpy $8 0
    StrCpy $9 "$INSTDIR\uninstall.exe"
    Call AddSize
    ReadRegStr $9 HKLM "${MAKER_KEY}" "Vst32Dir"
    ${If} $9 != ""
        StrCpy $9 "$9\${DLL}"
        Call AddSize
    ${EndIf}
    ReadRegStr $9 HKLM "${MAKER_KEY}" "Vst64Dir"
    ${If} $9 != ""
        StrCpy $9 "$9\${DLL}"
        Call AddSize
    ${EndIf}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $8
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SetRegView 32
SectionEnd

Function .onInit
    ${IfNot} ${RunningX64}
        ; Not offered where it cannot run: unselected and hidden.
        !insertmacro UnselectSection ${SecVst64}
        SectionSetText ${SecVst64} ""
    ${EndIf}

    SetRegView 32
    ReadRegStr $0 HKLM "SOFTWARE\VST" "VSTPluginsPath"
    ExpandEnvStrings $Vst32Dir $0
    ${If} $Vst32Dir == ""
        StrCpy $Vst32Dir "$PROGRAMFILES32\VstPlugins"
    ${EndIf}
    ${If} ${RunningX64}
        SetRegView 64
        ReadRegStr $0 HKLM "SOFTWARE\VST" "VSTPluginsPath"
        ExpandEnvStrings $Vst64Dir $0
        ${If} $Vst64Dir == ""
            StrCpy $Vst64Dir "$PROGRAMFILES64\VstPlugins"
        ${EndIf}
        SetRegView 32
    ${EndIf}

    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/VST32DIR=" $R1
    ${IfNot} ${Errors}
        StrCpy $Vst32Dir $R1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/VST64DIR=" $R1
    ${IfNot} ${Errors}
        StrCpy $Vst64Dir $R1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/NOVST32" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecVst32}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/NOVST64" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecVst64}
    ${EndIf}
FunctionEnd

Function SkipVst32Page
    ${IfNot} ${SectionIsSelected} ${SecVst32}
        Abort
    ${EndIf}
FunctionEnd

Function SkipVst64Page
    ${IfNot} ${SectionIsSelected} ${SecVst64}
        Abort
    ${EndIf}
FunctionEnd

; Deletes $0\${DLL}; one a host has loaded is reported with Retry/Cancel (silent: cancel).
Function un.RemoveDll
retry:
    ${If} ${FileExists} "$0\${DLL}"
        ClearErrors
        Delete "$0\${DLL}"
        ${If} ${Errors}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0\${DLL} is in use (a host has it loaded) and cannot be removed.$\r$\n$\r$\nClose the host, then choose Retry." /SD IDCANCEL IDRETRY retry
            Abort "$0\${DLL} is in use and was not removed."
        ${EndIf}
        DetailPrint "Removed $0\${DLL}"
    ${EndIf}
FunctionEnd

; Removes the DLL recorded under VALUE, and its folder if the installer made it and it is empty.
!macro UninstallPlugin VALUE
    ReadRegStr $0 HKLM "${MAKER_KEY}" "${VALUE}"
    ${If} $0 != ""
        Call un.RemoveDll
        ReadRegDWORD $1 HKLM "${MAKER_KEY}" "${VALUE}Created"
        ${If} $1 == 1
            RMDir "$0"
        ${EndIf}
    ${EndIf}
!macroend

Section "Uninstall"
    !insertmacro UseNativeRegView
    !insertmacro UninstallPlugin Vst32Dir
    !insertmacro UninstallPlugin Vst64Dir
    DeleteRegKey HKLM "${MAKER_KEY}"
    DeleteRegKey /ifempty HKLM "Software\${MAKER}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    SetRegView 32
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir "$PROGRAMFILES32\${MAKER}"
SectionEnd
