# What `cmake --install` puts in place and the Debian package CPack builds of
# it (scripts/package.sh). A program joins the package by its name in
# VEKTA_PROGRAMS and a manual page packaging/NAME.1.

set(VEKTA_PROGRAMS vektamon vektasim vektalog vektacand)
set(VEKTA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VEKTA_PACKAGE_MAINTAINER "vektamon maintainers <maintainers@users.noreply.c-seed-08730169.example>"
    CACHE STRING "Maintainer named in the Debian package")

find_program(VEKTA_GZIP gzip REQUIRED)

# gzip -9n: no name or time stamp in the header, so the bytes depend on the
# text alone.
function(vekta_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${VEKTA_GZIP} -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

set(manuals)
foreach(program IN LISTS VEKTA_PROGRAMS)
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A stripped install also drops the compilers' notes, as Debian's own tools do.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
  endif()")
  set(VERSION ${PROJECT_VERSION})
  configure_file(${VEKTA_PACKAGING_DIR}/${program}.1 ${CMAKE_BINARY_DIR}/man/${program}.1 @ONLY)
  vekta_gzip(${CMAKE_BINARY_DIR}/man/${program}.1 ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  list(APPEND manuals ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
endforeach()
install(FILES ${manuals} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The changelog names the version it ships; the two must not drift apart.
file(STRINGS ${VEKTA_PACKAGING_DIR}/changelog changelogHead LIMIT_COUNT 1)
if(NOT changelogHead MATCHES "^vektamon \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins \"${changelogHead}\", not version ${PROJECT_VERSION}")
endif()
vekta_gzip(${VEKTA_PACKAGING_DIR}/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(vekta_compressed_docs ALL DEPENDS ${manuals} ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${VEKTA_PACKAGING_DIR}/copyright
              ${PROJECT_SOURCE_DIR}/docs/window.md ${PROJECT_SOURCE_DIR}/docs/screenshot.png
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian 12 keeps the package's units under /lib.
set(VEKTA_SYSTEMD_UNIT_DIR /lib/systemd/system CACHE PATH "Where the systemd units go")
install(FILES ${VEKTA_PACKAGING_DIR}/vektacand@.service DESTINATION ${VEKTA_SYSTEMD_UNIT_DIR})
install(FILES ${VEKTA_PACKAGING_DIR}/vektamon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VEKTA_PACKAGING_DIR}/vektamon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${VEKTA_PACKAGING_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        FILES_MATCHING PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vektamon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEKTA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CAN-bus monitor for a serial VEKTA or TRILOX adapter")
set(CPACK_PACKAGE_DESCRIPTION
"In one small window the operator picks the serial port, the adapter kind,
the CAN bit timing, the receive time-out and two groups of receive filters,
starts a capture and watches one live row per CAN identifier: the latest
bytes, the length, the frame count, changed bytes in red. Every exchange can
be logged to millisecond-stamped text files.

The package also holds vektasim, a stand-in adapter on a pseudo-terminal for
trying the monitor without hardware; vektalog, which turns capture logs
into candump -l lines for other CAN tools; and vektacand, which runs the
capture without a window and hands every frame to a SocketCAN vcan
interface or as candump lines to a pipe, with a systemd unit for it.")
# The paths compiled into the program (its install folder) are the package's.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VEKTA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's designed faces fall back to these metric-compatible ones.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
