# cmake --install into a fresh prefix puts the programs, the manual pages and
# the sample where they belong, installs exactly what the FreeBSD port's
# pkg-plist lists, and the installed qav-cli accepts the installed sample.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}\n${err}")
endif()
set(expected)
foreach(program IN LISTS PROGRAMS)
  list(APPEND expected ${BINDIR}/${program})
endforeach()
foreach(page qav-cli qav-fleet qav-menu qav-sim qav-tones)
  list(APPEND expected ${MANDIR}/man1/${page}.1)
endforeach()
list(APPEND expected ${SYSCONFDIR}/qav-cli.conf.sample)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${PREFIX}/${file}")
  endif()
endforeach()
# The port's list as installed files: the ports framework compresses manual
# pages itself, and an @keyword names its file after a blank.
file(STRINGS ${PLIST} plist_lines)
set(listed)
foreach(line IN LISTS plist_lines)
  string(REGEX REPLACE "^@[a-z]+ " "" line "${line}")
  string(REGEX REPLACE "^(share/man/.*)\\.gz$" "\\1" line "${line}")
  list(APPEND listed ${line})
endforeach()
file(GLOB_RECURSE installed RELATIVE ${PREFIX} ${PREFIX}/*)
list(SORT listed)
list(SORT installed)
if(NOT listed STREQUAL installed)
  list(JOIN listed "\n  " listed)
  list(JOIN installed "\n  " installed)
  message(FATAL_ERROR "${PLIST} lists\n  ${listed}\nbut the installation holds\n  ${installed}")
endif()
file(STRINGS ${PORT_MAKEFILE} port_version REGEX "^DISTVERSION=")
if(NOT port_version MATCHES "[ \t]${VERSION}$")
  message(FATAL_ERROR "${PORT_MAKEFILE}: '${port_version}' is not version ${VERSION}")
endif()

execute_process(
  COMMAND env -i PATH=/usr/bin:/bin ${PREFIX}/${BINDIR}/qav-cli
    --config ${PREFIX}/${SYSCONFDIR}/qav-cli.conf.sample --dry-run
  WORKING_DIRECTORY ${PREFIX}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed qav-cli refused the installed sample (${status}):\n${out}\n${err}")
endif()
