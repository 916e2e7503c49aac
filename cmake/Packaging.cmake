# Installation and the Debian package: the programs, the help texts the "?" buttons show,
# what the desktop needs to open .mpak files with a double-click, AppStream metadata,
# manual pages made from the programs' --help, a copyright file and a changelog.
include(GNUInstallDirs)

set(TARNWICK_MAINTAINER "Tarnwick developers <maintainers@tarnwick.invalid>"
    CACHE STRING "The package's maintainer: name <address>")
set(TARNWICK_RELEASE_DATE "2026-12-07")
set(TARNWICK_RELEASE_TIME "Mon, 07 Dec 2026 14:00:00 +0000")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(generated ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS tarnwick-cli fsbext RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${help_texts} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick)
if(TARGET tarnwick)
  install(TARGETS tarnwick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tarnwick AND NOT WIN32)
  install(FILES ${packaging}/tarnwick.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging}/tarnwick.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${packaging}/tarnwick-mpak.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  configure_file(${packaging}/tarnwick.metainfo.xml.in
                 ${generated}/org.tarnwick.tarnwick.metainfo.xml @ONLY)
  install(FILES ${generated}/org.tarnwick.tarnwick.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Documents Debian wants: the copyright file as it is, the changelog compressed without a
# time stamp.
configure_file(${packaging}/copyright.in ${generated}/copyright @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
find_program(GZIP_PROGRAM gzip)
find_program(HELP2MAN_PROGRAM help2man)
set(docs ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
install(FILES ${generated}/copyright DESTINATION ${docs})

# Manual pages: each program's --help (and --version), with the sections --help has no
# room for from packaging/man/<program>.h2m. Made only where help2man is installed and
# the programs run on the building machine.
if(GZIP_PROGRAM)
  add_custom_command(OUTPUT ${generated}/changelog.gz
                     COMMAND ${GZIP_PROGRAM} -9 -n -c ${generated}/changelog > changelog.gz
                     DEPENDS ${generated}/changelog WORKING_DIRECTORY ${generated})
  set(package_docs ${generated}/changelog.gz)
  install(FILES ${generated}/changelog.gz DESTINATION ${docs})
  if(HELP2MAN_PROGRAM AND NOT CMAKE_CROSSCOMPILING)
    set(man_programs tarnwick-cli fsbext)
    if(TARGET tarnwick AND NOT WIN32)
      list(APPEND man_programs tarnwick)
    endif()
    foreach(program ${man_programs})
      set(page ${generated}/${program}.1)
      add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${HELP2MAN_PROGRAM} --no-info --no-discard-stderr --section=1
                --include=${packaging}/man/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
        COMMAND ${GZIP_PROGRAM} -9 -n -f ${page}
        DEPENDS ${program} ${packaging}/man/${program}.h2m
        COMMENT "Manual page of ${program}")
      list(APPEND package_docs ${page}.gz)
      install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
  endif()
  add_custom_target(package_docs ALL DEPENDS ${package_docs})
endif()

# cpack -G DEB: a Debian package whose dependencies come from the built programs.
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "${TARNWICK_PRODUCT}")
set(CPACK_PACKAGE_CONTACT "${TARNWICK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "open, extract and pack MPAK game archives")
# One string (a list would join its lines with ";"): the lines of the long description,
# each shorter than 80 characters; CPack puts the summary above them.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "A desktop window and a command line for modders: list an MPAK archive,\n"
       "find and view its entries, extract them, edit them and pack them back as\n"
       "the archive's library table says; convert FSB sound banks, unpack MPKG\n"
       "packages and list the textures a model names.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The window needs a platform plugin to show itself on a desktop.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# More image formats for the image viewer (TIFF, WebP, ...); TGA it reads itself.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_GENERATOR DEB)
include(CPack)
