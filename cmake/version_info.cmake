# Writes the version information of pATU.exe and its manifest from the
# package source: the package's date (entry 1) and number (entry 3) make the
# file version MAJOR.NUMBER.0.0, so the executable says which package it carries.
# Usage: cmake -DINPUT=pacote.txt -DMAJOR=6 -DARCH=x86|amd64 -DMANIFEST_IN=pATU.manifest.in
#              -DOUTPUT_DIR=dir -P version_info.cmake
#        writes dir/versao.rc and dir/pATU.manifest
file(READ "${INPUT}" content)
string(REPLACE "\r" "" content "${content}")
if(NOT content MATCHES "^[^\n]*\n([^\n]*)\n([^\n]*)\n([^\n]*)\n")
  message(FATAL_ERROR "${INPUT}: fewer than four entries")
endif()
set(date "${CMAKE_MATCH_1}")
set(title "${CMAKE_MATCH_2}")
set(number "${CMAKE_MATCH_3}")
if(NOT date MATCHES "^[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]$" OR NOT number MATCHES "^[0-9]+$")
  message(FATAL_ERROR "${INPUT}: entry 1 must be a date DD/MM/YYYY and entry 3 a number")
endif()
string(REPLACE "\"" "\"\"" title "${title}")

set(PRODUCT "Atualização Cartucho QUILLA")
set(version "${MAJOR}.${number}.0.0")
file(WRITE "${OUTPUT_DIR}/versao.rc" "// Generated from the package source; do not edit.
#pragma code_page(65001)
1 VERSIONINFO
FILEVERSION ${MAJOR},${number},0,0
PRODUCTVERSION ${MAJOR},${number},0,0
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE VFT2_UNKNOWN
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"041604B0\"  // Portuguese (Brazil), Unicode
    BEGIN
      VALUE \"ProductName\", \"${PRODUCT}\"
      VALUE \"ProductVersion\", \"${version}\"
      VALUE \"FileDescription\", \"${PRODUCT}\"
      VALUE \"FileVersion\", \"${version}\"
      VALUE \"Comments\", \"${title}: pacote de ${date}, versão ${number}\"
      VALUE \"InternalName\", \"pATU\"
      VALUE \"OriginalFilename\", \"pATU.exe\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x0416, 1200
  END
END
")

file(READ "${MANIFEST_IN}" manifest)
string(REPLACE "@VERSAO@" "${version}" manifest "${manifest}")
string(REPLACE "@PROCESSADOR@" "${ARCH}" manifest "${manifest}")
file(WRITE "${OUTPUT_DIR}/pATU.manifest" "${manifest}")
