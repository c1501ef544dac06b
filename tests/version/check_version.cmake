# The project's one version as each program shows it.
#   cmake -DVERSION=1.2.3 -DNAME=update-make -DPROGRAM=path [-DEMULATOR=wine-run] -P check_version.cmake
#     PROGRAM --version prints "NAME VERSION" and one line end, and exits 0.
#   cmake -DVERSION=1.2.3 -DPRODUCT=update_patcher -DWINDRES=windres -DPROGRAM=update.exe -P check_version.cmake
#     update.exe's version resource, read back from the built file: FILEVERSION and
#     PRODUCTVERSION VERSION,0; FileVersion and ProductVersion VERSION, InternalName
#     PRODUCT and OriginalFilename update.exe in both language blocks.
if(DEFINED WINDRES)
  execute_process(COMMAND ${WINDRES} --input-format=coff --output-format=rc -i ${PROGRAM}
                  RESULT_VARIABLE status OUTPUT_VARIABLE rc ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${WINDRES} could not read the resources of ${PROGRAM}: ${error}")
  endif()
  string(REPLACE "." "," numbers "${VERSION},0")
  foreach(field FILEVERSION PRODUCTVERSION)
    string(REGEX MATCH "\n *${field} ([0-9, ]+)" line "${rc}")
    string(REPLACE " " "" found "${CMAKE_MATCH_1}")
    if(NOT found STREQUAL numbers)
      message(FATAL_ERROR "${PROGRAM}: ${field} is '${found}', not ${numbers}:\n${rc}")
    endif()
  endforeach()
  set(expected)
  foreach(block 041103a4 040904e4)
    string(FIND "${rc}" "BLOCK \"${block}\"" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "no StringFileInfo block ${block} in ${PROGRAM}:\n${rc}")
    endif()
  endforeach()
  foreach(value FileVersion ProductVersion)
    list(APPEND expected "VALUE \"${value}\", \"${VERSION}\"")
  endforeach()
  list(APPEND expected "VALUE \"InternalName\", \"${PRODUCT}\"" "VALUE \"OriginalFilename\", \"update.exe\"")
  string(LENGTH "${rc}" whole)
  foreach(line IN LISTS expected)
    string(REPLACE "${line}" "" without "${rc}")
    string(LENGTH "${without}" rest)
    string(LENGTH "${line}" size)
    math(EXPR count "(${whole} - ${rest}) / ${size}")
    if(NOT count EQUAL 2)  # once in each language block
      message(FATAL_ERROR "${PROGRAM}: '${line}' found ${count} times, not twice, in its resources:\n${rc}")
    endif()
  endforeach()
  return()
endif()

execute_process(COMMAND ${EMULATOR} ${PROGRAM} --version RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE error)
if(NOT status EQUAL 0 OR NOT (out STREQUAL "${NAME} ${VERSION}\n" OR out STREQUAL "${NAME} ${VERSION}\r\n"))
  message(FATAL_ERROR "${PROGRAM} --version: status ${status}, printed '${out}' (stderr '${error}'), "
                      "not '${NAME} ${VERSION}'")
endif()
