; The Windows installer of Zanto: per user, no administrator rights, 64-bit.
;
; Built by packaging/windows/build-installer.sh (scripts/package.sh calls it), which passes
;   VERSION        the version as people read it (0.1)
;   VERSION4       the same in four parts, as Windows' version resources have it (0.1.0.0)
;   EXE QUOTES     zanto.exe and the quotes.txt that ships with it
;   QUOTES_SHA256  the SHA-256 of that quotes.txt, lower-case hex
;   ICON           the program's icon
;   WIZARD_BITMAP  the picture of the first and last pages (164 x 314, BMP)
;   OUTFILE        where the installer goes
;   SIGN           optional: a command that Authenticode-signs the file it is given
;                  (packaging/windows/sign.sh), run on the uninstaller before it is packed
;                  and on the finished installer
;
; quotes.txt is the user's to edit. The installer keeps the hash of the quotes.txt it put
; there; an upgrade replaces the file only while it still has that hash, and the
; uninstaller removes it only then (or when the user says so).

Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifdef SIGN
  ; The uninstaller is a file only while makensis makes it (the installer writes it out on
  ; the user's machine): it is signed then, and the installer packs the signed one.
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!define PRODUCT "Zanto"
!define PUBLISHER "Mira Castell"
!define WEBSITE "https://zanto.example.org"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zanto"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where Task Manager and Settings keep a startup entry the user switched off.
!define STARTUP_APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define SHORTCUT "$SMPROGRAMS\Zanto.lnk"
; The hidden window of the program's tray icon: WM_CLOSE to it ends the program as its
; Exit command does.
!define TRAY_CLASS "TTrayIconWindow"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zanto"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION4}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

; --- Pages ------------------------------------------------------------------------------

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!define MUI_COMPONENTSPAGE_SMALLDESC

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION} for you alone: it needs no \
  administrator rights.$\r$\n$\r$\n${PRODUCT} lives in the notification area and now and then \
  shows a quote from its quotes.txt, which you may edit.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\zanto.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; --- Shared by installer and uninstaller --------------------------------------------------

; Ends every Zanto that runs from the installation folder, as its Exit command would, and
; waits for each to be gone. Sets $R9 to the number ended; asks the user (or, silent, gives
; up) when one does not end.
!macro CLOSE_ZANTO UN
Function ${UN}CloseZanto
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R9 0
  StrCpy $R0 0
  ${Do}
    FindWindow $R0 "${TRAY_CLASS}" "" 0 $R0
    ${If} $R0 == 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1) i'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R1) p .R2'
    ${If} $R2 P<> 0
      StrCpy $R3 ""
      System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R3, *i ${NSIS_MAX_STRLEN})'
      ${If} $R3 == "$INSTDIR\zanto.exe"
        DetailPrint "Closing ${PRODUCT} (process $R1)"
        SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
        System::Call 'kernel32::WaitForSingleObject(p R2, i 10000) i .R4'
        System::Call 'kernel32::CloseHandle(p R2)'
        ${If} $R4 == 0
          IntOp $R9 $R9 + 1
        ${Else}
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT} is still running and cannot be replaced.$\r$\n$\r$\nEnd it with Exit \
            in its menu, then choose Retry." /SD IDCANCEL IDRETRY retry
          Abort "${PRODUCT} is still running."
          retry:
        ${EndIf}
        ; Windows come and go while we wait: look again from the first.
        StrCpy $R0 0
        ${Continue}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
  ${Loop}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro CLOSE_ZANTO ""
!insertmacro CLOSE_ZANTO "un."

; The SHA-256 of a file as lower-case hex, through the system's own crypto provider.
; In: the path on the stack. Out: the hash on the stack, "" when the file cannot be read.
!macro FILE_SHA256 UN
Function ${UN}FileSha256
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  StrCpy $R7 ""
  ; PROV_RSA_AES, CRYPT_VERIFYCONTEXT
  System::Call 'advapi32::CryptAcquireContextW(*p .R1, p 0, p 0, i 24, i 0xF0000000) i .R2'
  ${If} $R2 != 0
    ; CALG_SHA_256
    System::Call 'advapi32::CryptCreateHash(p R1, i 0x800C, p 0, i 0, *p .R3) i .R2'
    ${If} $R2 != 0
      ; GENERIC_READ, shared for reading, OPEN_EXISTING
      System::Call 'kernel32::CreateFileW(w R0, i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .R4'
      ${If} $R4 P<> -1
        System::Alloc 65536
        Pop $R5
        StrCpy $R7 "ok"
        ${Do}
          System::Call 'kernel32::ReadFile(p R4, p R5, i 65536, *i .R6, p 0) i .R2'
          ${If} $R2 == 0
            StrCpy $R7 ""
            ${Break}
          ${EndIf}
          ${If} $R6 == 0
            ${Break}
          ${EndIf}
          System::Call 'advapi32::CryptHashData(p R3, p R5, i R6, i 0) i .R2'
          ${If} $R2 == 0
            StrCpy $R7 ""
            ${Break}
          ${EndIf}
        ${Loop}
        System::Call 'kernel32::CloseHandle(p R4)'
        ${If} $R7 == "ok"
          StrCpy $R7 ""
          ; HP_HASHVAL into the same buffer, then byte by byte into hex.
          System::Call 'advapi32::CryptGetHashParam(p R3, i 2, p R5, *i 32 R6, i 0) i .R2'
          ${If} $R2 != 0
          ${AndIf} $R6 == 32
            StrCpy $R4 0
            ${Do}
              IntPtrOp $R2 $R5 + $R4
              System::Call '*$R2(&i1 .R6)'
              IntOp $R6 $R6 & 0xFF
              IntFmt $R6 "%02x" $R6
              StrCpy $R7 "$R7$R6"
              IntOp $R4 $R4 + 1
            ${LoopUntil} $R4 >= 32
          ${EndIf}
        ${EndIf}
        System::Free $R5
      ${EndIf}
      System::Call 'advapi32::CryptDestroyHash(p R3)'
    ${EndIf}
    System::Call 'advapi32::CryptReleaseContext(p R1, i 0)'
  ${EndIf}
  StrCpy $R0 $R7
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro FILE_SHA256 ""
!insertmacro FILE_SHA256 "un."

; --- Installer ----------------------------------------------------------------------------

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  Call CloseZanto
  StrCpy $0 $R9 ; how many ran, to start it again after a silent upgrade

  File "/oname=zanto.exe" "${EXE}"

  ; quotes.txt: a new one where there is none or where it is still the one an installer put
  ; there; the user's own is kept.
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "QuotesSha256"
  ${If} ${FileExists} "$INSTDIR\quotes.txt"
    Push "$INSTDIR\quotes.txt"
    Call FileSha256
    Pop $2
  ${Else}
    StrCpy $2 "none"
  ${EndIf}
  StrCpy $3 "keep"
  ${If} $2 == "none"
  ${OrIf} $2 == "${QUOTES_SHA256}"
    StrCpy $3 "replace"
  ${ElseIf} $1 != ""
  ${AndIf} $2 == $1
    StrCpy $3 "replace"
  ${EndIf}
  ${If} $3 == "replace"
    File "/oname=quotes.txt" "${QUOTES}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuotesSha256" "${QUOTES_SHA256}"
  ${Else}
    DetailPrint "Keeping your own quotes.txt"
    ; Nothing of ours is there now: the uninstaller must not take it for the shipped one.
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "QuotesSha256"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zanto.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $3 $4 $5
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $3
SectionEnd

Section "Start menu shortcut" SecShortcut
  CreateShortcut "${SHORTCUT}" "$INSTDIR\zanto.exe" "" "$INSTDIR\zanto.exe" 0
SectionEnd

Section "Start Zanto when I sign in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Zanto" '"$INSTDIR\zanto.exe"'
SectionEnd

; What the user left unticked goes, so that an upgrade does what the page says.
Section "-Choices"
  ${IfNot} ${SectionIsSelected} ${SecShortcut}
    Delete "${SHORTCUT}"
  ${EndIf}
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "Zanto"
    DeleteRegValue HKCU "${STARTUP_APPROVED_KEY}" "Zanto"
  ${EndIf}
  ; A silent upgrade brings back the Zanto it ended; an interactive one asks on its last page.
  ${If} ${Silent}
  ${AndIf} $0 > 0
    Exec '"$INSTDIR\zanto.exe"'
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program and its quotes.txt. A quotes.txt \
    you have edited is kept."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecShortcut} "Zanto in the Start menu."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "Start Zanto in the notification area \
    whenever you sign in to Windows."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ; An upgrade keeps what the user chose before: a shortcut or start-up entry they removed
  ; stays removed.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    ${IfNot} ${FileExists} "${SHORTCUT}"
      !insertmacro UnselectSection ${SecShortcut}
    ${EndIf}
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "Zanto"
    ${If} ${Errors}
      !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
  ${EndIf}
FunctionEnd

; --- Uninstaller --------------------------------------------------------------------------

Section "Uninstall"
  Call un.CloseZanto

  Delete "$INSTDIR\zanto.exe"
  ${If} ${FileExists} "$INSTDIR\quotes.txt"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "QuotesSha256"
    Push "$INSTDIR\quotes.txt"
    Call un.FileSha256
    Pop $2
    ${If} $1 != ""
    ${AndIf} $2 == $1
      Delete "$INSTDIR\quotes.txt"
    ${Else}
      MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Your quotes.txt is not the one that \
        came with ${PRODUCT}: you have edited it.$\r$\n$\r$\nRemove it as well?$\r$\n$\r$\n\
        Choose No to keep it in $INSTDIR." /SD IDNO IDNO +2
      Delete "$INSTDIR\quotes.txt"
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${SHORTCUT}"
  DeleteRegValue HKCU "${RUN_KEY}" "Zanto"
  DeleteRegValue HKCU "${STARTUP_APPROVED_KEY}" "Zanto"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
