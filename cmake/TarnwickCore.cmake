# Core libraries: every library below src/gui. They must never link Qt.
set_property(GLOBAL PROPERTY TARNWICK_CORE_TARGETS "")

# tarnwick_core_library(NAME DIR DEPS...) builds the sources of one src/ folder.
function(tarnwick_core_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE tarnwick_warnings PUBLIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TARNWICK_CORE_TARGETS ${name})
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
