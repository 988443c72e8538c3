; The NSIS installer the benchmark runs the stub against: the payload's
; files and folders, solid LZMA with NSIS's default 8 MiB dictionary (-DDICT=
; sets another, in MiB), installed silently with /S /D=<dir>. Built by
; bench/make-payloads.sh:
;   makensis -DSOURCE_DIR=<files> -DOUT_FILE=<installer> [-DDICT=64] bench.nsi
Unicode true
SetCompressor /SOLID lzma
!ifndef DICT
!define DICT 8
!endif
SetCompressorDictSize ${DICT}
RequestExecutionLevel user

Name "Vemlo Reader"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\Vemlo Reader"

Page directory
Page instfiles

Section
    SetOutPath "$INSTDIR"
    File /r "${SOURCE_DIR}/*"
SectionEnd
