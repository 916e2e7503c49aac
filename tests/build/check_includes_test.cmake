# cmake -DCHECKER=CheckIncludes.cmake -DWORK=folder -P check_includes_test.cmake
# The layer check refuses every spelling of an include from a layer above, every Qt header,
# a system's own headers and tests of which system the code is built for, and passes what a
# lower layer may include. The platform layer (KNOWS_SYSTEM) may use the system.
cmake_minimum_required(VERSION 3.25)
set(wrong
    "#include <app/shell.h>"
    "#include \"app/shell.h\""
    "#include \"../app/shell.h\""
    "  #  include \"../../gui/form1.h\""
    "#include \"./../cli/cli.h\""
    "#include \"src/app/shell.h\""
    "#include <QString>"
    "#include <QtCore/QString>"
    "#include \"QWidget\""
    "#include <unistd.h>"
    "#include <sys/stat.h>"
    "#include <windows.h>"
    "#ifdef _WIN32"
    "#if defined(__linux__) || X"
    "  # ifndef __MINGW32__")
set(right
    "#include \"util/text.h\""
    "#include <string>"
    "#include \"mpak/archive.h\""
    "#include \"application.h\""
    "// #include \"app/shell.h\" in a comment"
    "#include <queue>"
    "#include \"platform/files.h\""
    "#include <cstdio>"
    "#ifdef TARNWICK_FSBEXT")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)
set(n 0)
foreach(kind wrong right)
  foreach(line IN LISTS ${kind})
    math(EXPR n "${n} + 1")
    set(file "${WORK}/case${n}.h")
    file(WRITE "${file}" "#pragma once\n${line}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDERS=app|gui|cli -DFILES=${file} -P ${CHECKER}
                    RESULT_VARIABLE code OUTPUT_QUIET ERROR_QUIET)
    if(kind STREQUAL "wrong" AND code EQUAL 0)
      message(SEND_ERROR "not refused: ${line}")
      math(EXPR failures "${failures} + 1")
    elseif(kind STREQUAL "right" AND NOT code EQUAL 0)
      message(SEND_ERROR "refused: ${line}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -DFOLDERS=app -DFILES=${WORK}/case10.h -DKNOWS_SYSTEM=ON
                -P ${CHECKER} RESULT_VARIABLE code OUTPUT_QUIET ERROR_QUIET)
if(NOT code EQUAL 0)
  message(SEND_ERROR "the platform layer may include <unistd.h>")
  math(EXPR failures "${failures} + 1")
endif()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${n} include lines judged wrongly")
endif()
message(STATUS "${n} include lines judged rightly")
