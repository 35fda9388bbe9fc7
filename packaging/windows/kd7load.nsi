; The Windows installer: the 32-bit program with its Qt libraries in Program
; Files (Program Files (x86) on 64-bit Windows), the operators' guide beside
; it, Start menu entries for both, and an uninstaller registered in Windows'
; list of programs. Silent for lab administrators: setup.exe /S [/D=folder]
; and uninstall.exe /S. On a Windows older than 7 SP1 it says which Windows
; the program needs and installs nothing.
; Built by tools/windows/build.sh with VERSION, STAGE (the files to install)
; and OUTFILE defined.
Unicode true
Target x86-unicode
!include MUI2.nsh
!include WinVer.nsh

!define PRODUCT "KD7用户程序下载"
!define GUIDE "KD7用户程序下载 操作指南"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KD7Load"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\KD7Load"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "KD7 lab tools"
VIAddVersionKey /LANG=2052 "LegalCopyright" "© 2026 KD7 lab tools"

!define MUI_ICON "${STAGE}\kd7load.ico"
!define MUI_UNICON "${STAGE}\kd7load.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function refuseOldWindows
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} 需要 Windows 7 SP1 或更新的 Windows (8.1, 10, 11; 32 位或 64 位均可). 这台电脑的 Windows 太旧, 没有安装." /SD IDOK
    SetErrorLevel 2
    Quit
FunctionEnd

Function .onInit
    ${IfNot} ${AtLeastWin7}
        Call refuseOldWindows
    ${ElseIf} ${IsWin7}
    ${AndIfNot} ${AtLeastServicePack} 1
        Call refuseOldWindows
    ${EndIf}
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kd7load.exe" "" "$INSTDIR\kd7load.exe" 0
    CreateShortcut "$SMPROGRAMS\${GUIDE}.lnk" "$INSTDIR\guide.zh_CN.html"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "KD7 lab tools"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kd7load.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${GUIDE}.lnk"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
