; The Windows installer, built by scripts/package with makensis. scripts/package defines:
;   VERSION    the project's version (1.0.0)
;   ARCH       win32 or win64
;   STAGE      the folder that holds what is installed ("Tirage Vorellis" of the zip)
;   FILES      an include that lists it: one "${File} rel" or "${Picture} rel" line each
;   SIZE_KB    its size in KiB
;   OUTFILE    the installer to write
;
; What it keeps safe:
; - A picture under GFX is the user's once it is no longer the one the installer put there;
;   whether it still is shows in its modification time, which every installed file has from
;   the release (vorellis.exe has it too, so that is where the time is read). Installing over
;   an earlier install rewrites only pictures that are missing or unchanged; uninstalling
;   deletes only unchanged ones, never a file the installer did not put there, and folders
;   only when empty.
; - Nothing is written before the checks: administrator rights, no newer version installed,
;   no install of it in another folder, the program not running.
; - The uninstaller and the Apps entry are written before the files, so that an install that
;   stops half-way can still be removed.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!include LogicLib.nsh
!include WordFunc.nsh
!include MUI2.nsh

!define NAME "Tirage Vorellis"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!if ${ARCH} == win64
  !define PROGRAM_FILES "$PROGRAMFILES64"
  !define REG_VIEW 64
!else
  !define PROGRAM_FILES "$PROGRAMFILES"
  !define REG_VIEW 32
!endif

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${NAME}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1036 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileDescription" "${NAME} ${VERSION} installer"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Copyright (c) 2026 the Tirage Vorellis authors, MIT licence"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "English"

LangString NeedAdmin 1036 "L'installation de ${NAME} demande les droits d'administrateur. Rien n'a été modifié."
LangString NeedAdmin 1033 "Installing ${NAME} needs administrator rights. Nothing was changed."
LangString NewerInstalled 1036 "${NAME} $0 est déjà installé, plus récent que ${VERSION}. Rien n'a été modifié."
LangString NewerInstalled 1033 "${NAME} $0 is already installed, newer than ${VERSION}. Nothing was changed."
LangString Elsewhere 1036 "${NAME} est déjà installé dans $1. Désinstallez-le d'abord, ou installez dans ce dossier. Rien n'a été modifié."
LangString Elsewhere 1033 "${NAME} is already installed in $1. Uninstall it first, or install into that folder. Nothing was changed."
LangString Running 1036 "${NAME} est ouvert. Fermez-le, puis recommencez. Rien n'a été modifié."
LangString Running 1033 "${NAME} is open. Close it, then try again. Nothing was changed."

Var ReleaseTime   ; the modification time of the files of the install in place ("high low")

; Stops with MESSAGE (shown unless silent) and exit code CODE, before anything is written.
!macro Refuse MESSAGE CODE
  MessageBox MB_ICONSTOP|MB_OK "${MESSAGE}" /SD IDOK
  SetErrorLevel ${CODE}
  Quit
!macroend

; $R0: the modification time of file $R1 as "high low", or "" when there is none. Defined
; twice, as FileTimeOf and un.FileTimeOf, since the uninstaller can only call its own functions.
!macro DefineFileTimeOf PREFIX
  Function ${PREFIX}FileTimeOf
    ClearErrors
    GetFileTime $R1 $R2 $R3
    ${If} ${Errors}
      StrCpy $R0 ""
    ${Else}
      StrCpy $R0 "$R2 $R3"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro DefineFileTimeOf ""
!insertmacro DefineFileTimeOf "un."

; $ReleaseTime: the time of the files of the install in place, read from its vorellis.exe
; ("none" when there is none, which no file's time equals).
!macro ReadReleaseTime PREFIX
  StrCpy $R1 "$INSTDIR\vorellis.exe"
  Call ${PREFIX}FileTimeOf
  StrCpy $ReleaseTime $R0
  ${If} $ReleaseTime == ""
    StrCpy $ReleaseTime "none"
  ${EndIf}
!macroend

; Refuses while vorellis.exe in $INSTDIR is open: a running program cannot be replaced or
; deleted, and stopping half-way would leave half a program.
!macro RefuseWhileRunning
  ${If} ${FileExists} "$INSTDIR\vorellis.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\vorellis.exe" a
    ${If} ${Errors}
      !insertmacro Refuse "$(Running)" 5
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

!macro CheckAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    !insertmacro Refuse "$(NeedAdmin)" 740
  ${EndIf}
!macroend

Function .onInit
  SetRegView ${REG_VIEW}
  SetShellVarContext all
  !insertmacro CheckAdmin
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} $0 ${VERSION} $1
    ${If} $1 == 1
      !insertmacro Refuse "$(NewerInstalled)" 2
    ${EndIf}
    ; An earlier install is updated where it is, unless /D= chose another folder.
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 != ""
    ${AndIf} $INSTDIR == "${PROGRAM_FILES}\${NAME}"
      StrCpy $INSTDIR $1
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro InstallFile REL
  File "/oname=$INSTDIR\${REL}" "${STAGE}\${REL}"
!macroend
; A picture is written when missing or still the one an earlier install put there.
!macro InstallPicture REL
  StrCpy $R1 "$INSTDIR\${REL}"
  Call FileTimeOf
  ${If} $R0 == ""
  ${OrIf} $R0 == $ReleaseTime
    File "/oname=$INSTDIR\${REL}" "${STAGE}\${REL}"
  ${EndIf}
!macroend

; One install at a time: a second copy in another folder would take the Apps entry over and
; leave the first one with no way to be removed. An entry whose uninstaller is gone is stale.
!macro RefuseSecondCopy
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
  ${AndIf} $1 != $INSTDIR
  ${AndIf} ${FileExists} "$1\uninstall.exe"
    !insertmacro Refuse "$(Elsewhere)" 6
  ${EndIf}
!macroend

Section
  !insertmacro RefuseSecondCopy
  !insertmacro RefuseWhileRunning
  !insertmacro ReadReleaseTime ""

  CreateDirectory "$INSTDIR\GFX\Balls"
  CreateDirectory "$INSTDIR\GFX\Stars"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorellis.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  !define File "!insertmacro InstallFile"
  !define Picture "!insertmacro InstallPicture"
  !include "${FILES}"
  !undef File
  !undef Picture

  ; The program finds its pictures from the current folder: the shortcut starts it in
  ; $INSTDIR, which CreateShortcut takes from SetOutPath.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\vorellis.exe"
SectionEnd

Function un.onInit
  SetRegView ${REG_VIEW}
  SetShellVarContext all
  !insertmacro CheckAdmin
FunctionEnd

!macro RemoveFile REL
  Delete "$INSTDIR\${REL}"
!macroend
; A picture is deleted only while it is the one the install put there.
!macro RemovePicture REL
  StrCpy $R1 "$INSTDIR\${REL}"
  Call un.FileTimeOf
  ${If} $R0 == $ReleaseTime
    Delete "$INSTDIR\${REL}"
  ${EndIf}
!macroend

Section Uninstall
  !insertmacro RefuseWhileRunning
  !insertmacro ReadReleaseTime "un."

  !define File "!insertmacro RemoveFile"
  !define Picture "!insertmacro RemovePicture"
  !include "${FILES}"
  !undef File
  !undef Picture

  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\GFX\Balls"
  RMDir "$INSTDIR\GFX\Stars"
  RMDir "$INSTDIR\GFX"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
