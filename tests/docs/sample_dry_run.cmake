# qav-cli --config SAMPLE --dry-run must list the plan and end with status 0,
# with no QAV_ variable of the caller's environment mixed in, and from a
# working directory without a qav-cli.conf of its own.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
configure_file(${SAMPLE} ${WORK}/qav-cli.conf.sample COPYONLY)
# As installed: readable by everybody.
file(CHMOD ${WORK}/qav-cli.conf.sample PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
execute_process(
  COMMAND env -i PATH=/usr/bin:/bin ${QAV_CLI} --config ${WORK}/qav-cli.conf.sample --dry-run
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "status ${status}\n${out}\n${err}")
endif()
if(NOT err STREQUAL "")
  message(FATAL_ERROR "unexpected standard error:\n${err}")
endif()
if(NOT out MATCHES "\\[clock\\]")
  message(FATAL_ERROR "no plan listed:\n${out}")
endif()
