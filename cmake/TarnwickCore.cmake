# Core libraries: every library below src/gui. They must never link Qt, and each layer
# includes only the layers below it:
#   util <- engines (mpak, extract, ...) <- app (shell and commands) <- gui
#                                        <- cli
set_property(GLOBAL PROPERTY TARNWICK_CORE_TARGETS "")

# tarnwick_core_library(NAME LAYERS_ABOVE <folders> DEPS <libraries>) builds the sources of
# one src/ folder and its subfolders. The build fails when one of them includes a header
# from a folder named in LAYERS_ABOVE, or any Qt header.
function(tarnwick_core_library name)
  cmake_parse_arguments(arg "" "" "LAYERS_ABOVE;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE tarnwick_warnings PUBLIC ${arg_DEPS})
  set_property(GLOBAL APPEND PROPERTY TARNWICK_CORE_TARGETS ${name})
  tarnwick_check_includes(${name} "${arg_LAYERS_ABOVE}" ${sources} ${headers})
endfunction()

# Fails the build of `target` when one of the files includes <Q...> or "<folder>/..." for a
# folder in `above`, or (unless KNOWS_SYSTEM comes first among the files) a system's own
# header or a test of which system it is built for.
function(tarnwick_check_includes target above)
  set(files ${ARGN})
  set(knows OFF)
  if(files AND "${ARGV2}" STREQUAL "KNOWS_SYSTEM")
    list(REMOVE_AT files 0)
    set(knows ON)
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_layers.stamp)
  string(REPLACE ";" "|" folders "${above}")
  string(REPLACE ";" "|" file_list "${files}")
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDERS=${folders} -DSTAMP=${stamp} -DFILES=${file_list}
            -DKNOWS_SYSTEM=${knows}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_layers DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layers)
endfunction()

function(tarnwick_check_core_has_no_qt)
  get_property(targets GLOBAL PROPERTY TARNWICK_CORE_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(libs ${t} LINK_LIBRARIES)
    foreach(l IN LISTS libs)
      if(l MATCHES "Qt")
        message(FATAL_ERROR "core library ${t} links ${l}: only src/gui may use Qt")
      endif()
    endforeach()
  endforeach()
endfunction()
