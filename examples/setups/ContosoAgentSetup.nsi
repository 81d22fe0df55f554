; Contoso Agent's setup: the prerequisites first (pravel), then the product.
;
;   makensis -DPACKAGE=<folder> -DPRODUCT=<folder> ContosoAgentSetup.nsi
;
; PACKAGE holds pravel.exe, two configurations and what they ship
; (redist\...): pravel.ini with Options=b (a progress window) for a run with
; windows, pravel-silent.ini with Options=q for a silent run
; (ContosoAgentSetup.exe /S, as deployment tools run it). pravel reads the
; configuration that bears its own name, so a silent run unpacks pravel.exe
; as pravel-silent.exe; the setup holds pravel.exe and every payload once.
; PRODUCT holds the files of the product. pravel and its configuration are
; unpacked into the installer's own temporary folder ($PLUGINSDIR) on every
; run, which NSIS removes when the installer ends: a configuration with
; [PREREQ_CHAINER] (the log, and its deletion after each run) fits.
Unicode true
Name "Contoso Agent"
OutFile "ContosoAgentSetup.exe"
InstallDir "$PROGRAMFILES\Contoso Agent"
; Elevated once here, so that the prerequisites' installers need no prompt
; of their own.
RequestExecutionLevel admin

Section "Prerequisites"
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\prerequisites"
  IfSilent 0 with_windows
  File "/oname=pravel-silent.exe" "${PACKAGE}\pravel.exe"  ; reads pravel-silent.ini
  File "${PACKAGE}\pravel-silent.ini"
  StrCpy $1 "pravel-silent.exe"
  Goto unpacked
with_windows:
  File "${PACKAGE}\pravel.exe"  ; reads pravel.ini
  File "${PACKAGE}\pravel.ini"
  StrCpy $1 "pravel.exe"
unpacked:
  File /nonfatal /r "${PACKAGE}\redist"
  ClearErrors
  ExecWait '"$PLUGINSDIR\prerequisites\$1"' $0
  IfErrors prerequisites_missing
  SetOutPath "$TEMP"  ; leaves the folder, so that it can be removed
  StrCmp $0 "0" prerequisites_present
  StrCmp $0 "-1" restart_pending
prerequisites_missing:  ; 1, or pravel could not run
  SetErrorLevel 1
  MessageBox MB_OK|MB_ICONSTOP "A prerequisite of Contoso Agent could not be installed." /SD IDOK
  Quit
restart_pending:  ; -1: Windows restarts (or must) before the product can go on
  SetErrorLevel 3010
  MessageBox MB_OK|MB_ICONINFORMATION "Windows must restart. Start this setup again afterwards." /SD IDOK
  Quit
prerequisites_present:
SectionEnd

Section "Contoso Agent"
  SetOutPath "$INSTDIR"
  File /r "${PRODUCT}\*"
SectionEnd
