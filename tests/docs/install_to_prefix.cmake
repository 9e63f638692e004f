# cmake --install into a fresh prefix puts the programs, the manual pages and
# the sample where they belong, and the installed qav-cli accepts the
# installed sample.
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
foreach(page qav-cli qav-menu qav-sim qav-tones)
  list(APPEND expected ${MANDIR}/man1/${page}.1)
endforeach()
list(APPEND expected ${SYSCONFDIR}/qav-cli.conf.sample)
foreach(file IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${PREFIX}/${file}")
  endif()
endforeach()
execute_process(
  COMMAND env -i PATH=/usr/bin:/bin ${PREFIX}/${BINDIR}/qav-cli
    --config ${PREFIX}/${SYSCONFDIR}/qav-cli.conf.sample --dry-run
  WORKING_DIRECTORY ${PREFIX}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "installed qav-cli refused the installed sample (${status}):\n${out}\n${err}")
endif()
