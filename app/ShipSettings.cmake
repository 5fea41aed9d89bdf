# Creates an empty settings file when there is none (cmake -DFILE=... -P).
if(NOT EXISTS "${FILE}")
  file(WRITE "${FILE}" "")
endif()
