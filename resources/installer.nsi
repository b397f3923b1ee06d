; The Windows installer, built by scripts/package with makensis. scripts/package defines:
;   VERSION    the project's version (scripts/version)
;   ARCH       win32 or win64
;   STAGE      the folder that holds what is installed ("Tirage Vorellis" of the zip)
;   FILES      an include that lists it: one "${File} rel" or "${Picture} rel" line each
;   SIZE_KB    its size in KiB
;   OUTFILE    the installer to write
;   ICON       the program's icon (.ico), shown by the installer and the uninstaller
; and, optionally:
;   WIZARD     the finish page's picture (164 x 314 BMP), drawn from the icon
;   SIGN       a command that signs the file it is given in place, for the uninstaller
;              before it is packed
;
; Two scopes, as the user chooses (or /AllUsers and /CurrentUser on the command line):
; - all users: Program Files, administrator rights, the Apps entry under HKLM, the shortcut in
;   every user's Start menu;
; - just for me: %LOCALAPPDATA%\Programs, no administrator rights (offered when the user has
;   none), the Apps entry under HKCU, the shortcut in the user's own Start menu. The pictures
;   under GFX are then the user's to change.
; Each scope has at most one install; the two scopes do not see each other, as their Apps
; entries and shortcuts are apart. Within one scope one architecture at a time: the 32-bit
; and 64-bit Apps entries live in different registry views, so a second architecture would
; take over the shortcut and leave two entries, one of which removes it for both.
;
; What it keeps safe:
; - A picture under GFX is the user's once it is no longer the one the installer put there;
;   whether it still is shows in its modification time, which every installed file has from
;   the release (vorellis.exe has it too, so that is where the time is read). Installing over
;   an earlier install rewrites only pictures that are missing or unchanged; uninstalling
;   deletes only unchanged ones, never a file the installer did not put there, and folders
;   only when empty.
; - Nothing is written before the checks: the right Windows for the architecture,
;   administrator rights for all users, no newer version installed, no install of it in
;   another folder or of the other architecture, the program not running.
; - The uninstaller and the Apps entry are written before the files, so that an install that
;   stops half-way can still be removed.
Unicode true
SetCompressor /SOLID lzma
; The installer's pages draw themselves at the display's scale, rather than being stretched
; (blurred) by Windows: per-monitor where Windows has it, else for the system's scale.
ManifestDPIAware true
ManifestDPIAwareness PerMonitorV2,System

!define NAME "Tirage Vorellis"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!if ${ARCH} == win64
  !define REG_VIEW 64
  !define OTHER_VIEW 32
  !define MULTIUSER_USE_PROGRAMFILES64
!else
  !define REG_VIEW 32
  !define OTHER_VIEW 64
!endif

; Administrators are asked to elevate and may choose either scope; other users install just
; for themselves, without being refused.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${NAME}"
!define MULTIUSER_INSTALLMODE_FUNCTION InstallModeChosen
; An earlier per-user install makes "just for me" the default, so that it is updated in place.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_NOUNINSTALL  ; the uninstaller takes its scope from its Apps entry
!include MultiUser.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include x64.nsh
!include MUI2.nsh

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${NAME} ${VERSION}"
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1036 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileDescription" "${NAME} ${VERSION} installer"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Copyright (c) 2026 the Tirage Vorellis authors, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; The program finds its pictures from the current folder, so it is started in its own.
!define MUI_FINISHPAGE_RUN ""
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!ifdef WIZARD
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!endif
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "$(JustForMe)"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "English"

LangString NeedAdmin 1036 "Installer ou désinstaller ${NAME} pour tous les utilisateurs demande les droits d'administrateur ; sans eux, installez-le pour vous seul. Rien n'a été modifié."
LangString NeedAdmin 1033 "Installing or uninstalling ${NAME} for all users needs administrator rights; without them, install it just for you. Nothing was changed."
LangString JustForMe 1036 "Installer seulement pour moi (vous pourrez changer les images sans droits d'administrateur)"
LangString JustForMe 1033 "Install just for me (you can then change the pictures without administrator rights)"
LangString NewerInstalled 1036 "${NAME} $0 est déjà installé, plus récent que ${VERSION}. Rien n'a été modifié."
LangString NewerInstalled 1033 "${NAME} $0 is already installed, newer than ${VERSION}. Nothing was changed."
LangString Elsewhere 1036 "${NAME} est déjà installé dans $1. Désinstallez-le d'abord, ou installez dans ce dossier. Rien n'a été modifié."
LangString Elsewhere 1033 "${NAME} is already installed in $1. Uninstall it first, or install into that folder. Nothing was changed."
LangString Running 1036 "${NAME} est ouvert. Fermez-le, puis recommencez. Rien n'a été modifié."
LangString Running 1033 "${NAME} is open. Close it, then try again. Nothing was changed."
!if ${ARCH} == win64
  LangString Needs32 1036 "Cette version de Windows est en 32 bits : elle demande l'installateur 32 bits, tirage-vorellis-${VERSION}-win32-setup.exe. Rien n'a été modifié."
  LangString Needs32 1033 "This Windows is 32-bit: it needs the 32-bit installer, tirage-vorellis-${VERSION}-win32-setup.exe. Nothing was changed."
  LangString OtherArch 1036 "La version 32 bits de ${NAME} est installée dans $1. Désinstallez-la d'abord (les images que vous y avez changées restent dans son dossier GFX), puis recommencez. Rien n'a été modifié."
  LangString OtherArch 1033 "The 32-bit ${NAME} is installed in $1. Uninstall it first (pictures you changed there stay in its GFX folder), then try again. Nothing was changed."
!else
  LangString OtherArch 1036 "La version 64 bits de ${NAME} est installée dans $1. Désinstallez-la d'abord (les images que vous y avez changées restent dans son dossier GFX), puis recommencez. Rien n'a été modifié."
  LangString OtherArch 1033 "The 64-bit ${NAME} is installed in $1. Uninstall it first (pictures you changed there stay in its GFX folder), then try again. Nothing was changed."
!endif

Var ReleaseTime   ; the modification time of the files of the install in place ("high low")
Var ChosenDir     ; the folder /D= gave, or ""

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
  !if ${ARCH} == win64
    ; Checked first: nothing else matters, and nothing may be written, on this Windows.
    ${IfNot} ${RunningX64}
      !insertmacro Refuse "$(Needs32)" 216
    ${EndIf}
  !endif
  SetRegView ${REG_VIEW}
  ; Without InstallDir, $INSTDIR is here what /D= gave, or empty.
  StrCpy $ChosenDir $INSTDIR
  ; Refused here rather than by MultiUser, whose message would stop a silent install.
  ${GetParameters} $0
  ${StrStr} $1 $0 "/AllUsers"
  ${If} $1 != ""
    !insertmacro CheckAdmin
  ${EndIf}
  !insertmacro MULTIUSER_INIT
FunctionEnd

; Called once the scope is set (SHCTX then names its registry root): the folder is the
; scope's own, or where an earlier install of this scope is, unless /D= chose another.
Function InstallModeChosen
  ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
    StrCpy $INSTDIR $1
  ${EndIf}
  ${If} $ChosenDir != ""
    StrCpy $INSTDIR $ChosenDir
  ${EndIf}
FunctionEnd

Function StartProgram
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\vorellis.exe"'
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
  ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
  ${AndIf} $1 != $INSTDIR
  ${AndIf} ${FileExists} "$1\uninstall.exe"
    !insertmacro Refuse "$(Elsewhere)" 6
  ${EndIf}
!macroend

; No newer version over this one: the scope is known only now, since the page may change it.
!macro RefuseDowngrade
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} $0 ${VERSION} $1
    ${If} $1 == 1
      !insertmacro Refuse "$(NewerInstalled)" 2
    ${EndIf}
  ${EndIf}
!macroend

; One architecture at a time in this scope. The other one's Apps entry is in the other
; registry view under HKLM; under HKCU both views share one key, told apart by the
; architecture the entry records (an entry without one is from an all-users install, whose
; view then says it is the other).
!macro RefuseOtherArchitecture
  ${If} ${RunningX64}
    SetRegView ${OTHER_VIEW}
    ReadRegStr $1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $2 SHCTX "${UNINSTALL_KEY}" "Architecture"
    SetRegView ${REG_VIEW}
    ${If} $1 != ""
    ${AndIf} $2 != ${ARCH}
    ${AndIf} ${FileExists} "$1\uninstall.exe"
      !insertmacro Refuse "$(OtherArch)" 7
    ${EndIf}
  ${EndIf}
!macroend

Section
  !insertmacro RefuseDowngrade
  !insertmacro RefuseOtherArchitecture
  !insertmacro RefuseSecondCopy
  !insertmacro RefuseWhileRunning
  !insertmacro ReadReleaseTime ""

  CreateDirectory "$INSTDIR\GFX\Balls"
  CreateDirectory "$INSTDIR\GFX\Stars"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorellis.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Architecture" "${ARCH}"

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

; The scope is the one whose Apps entry names this folder; all users when none does, as
; before there was a choice.
Function un.onInit
  SetRegView ${REG_VIEW}
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
    SetShellVarContext current
  ${Else}
    SetShellVarContext all
    !insertmacro CheckAdmin
  ${EndIf}
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
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
