# Writes the first favourites file, only when the user has none.
if(NOT EXISTS "${OUT}")
  execute_process(COMMAND "${CHL}" encode "${IN}" "${OUT}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot write ${OUT}")
  endif()
endif()
