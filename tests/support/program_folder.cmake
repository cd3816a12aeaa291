cmake_minimum_required(VERSION 3.21)
# Fails when the program folder holds anything but the program, its tool, its engine module, its
# lists and skins, and the files the program itself leaves there (settings, version files, a
# download, lock files).
file(GLOB entries RELATIVE "${FOLDER}" "${FOLDER}/*")
set(allowed zentavo zentavo-chl libzentavo-engines.so data Skins Config.ini Config.ini.lock updateinfo.txt
            channelsinfo.txt TV.CHL)
set(strays)
foreach(entry IN LISTS entries)
  if(NOT entry IN_LIST allowed)
    list(APPEND strays "${entry}")
  endif()
endforeach()
if(strays)
  message(FATAL_ERROR "not part of the program, in ${FOLDER}: ${strays}")
endif()
if(NOT EXISTS "${FOLDER}/zentavo" OR NOT EXISTS "${FOLDER}/libzentavo-engines.so")
  message(FATAL_ERROR "the program is missing from ${FOLDER}")
endif()
