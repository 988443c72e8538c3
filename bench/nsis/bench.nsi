; The NSIS installer the benchmark runs the stub against: the payload's
; files, solid LZMA with the same 8 MiB dictionary, installed silently with
; /S /D=<dir>. Built by bench/make-payloads.sh:
;   makensis -DSOURCE_DIR=<files> -DOUT_FILE=<installer> bench.nsi
Unicode true
SetCompressor /SOLID lzma
SetCompressorDictSize 8
RequestExecutionLevel user

Name "Vemlo Reader"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\Vemlo Reader"

Page directory
Page instfiles

Section
    SetOutPath "$INSTDIR"
    File "${SOURCE_DIR}/*"
SectionEnd
