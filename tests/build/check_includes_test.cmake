# cmake -DCHECKER=CheckIncludes.cmake -DWORK=folder -P check_includes_test.cmake
# The layer check refuses every spelling of an include from a layer above and every Qt
# header, and passes what a lower layer may include.
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
    "#include \"QWidget\"")
set(right
    "#include \"util/text.h\""
    "#include <string>"
    "#include \"mpak/archive.h\""
    "#include \"application.h\""
    "// #include \"app/shell.h\" in a comment"
    "#include <queue>")
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
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${n} include lines judged wrongly")
endif()
message(STATUS "${n} include lines judged rightly")
