# Every page renders with its quotes paired: a quoting macro nested in
# another on one line (".Pq Ql 0 Ns - Ns Ql 9") passes the lint but quotes
# the rest of the line, which shows as an open quote inside another or as a
# run of closing quotes. German quotes („…“) close with “ and are let be.
foreach(page ${PAGES})
  execute_process(COMMAND ${MANDOC} -T utf8 -O width=400 ${page}
    RESULT_VARIABLE status OUTPUT_VARIABLE text)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${page}: mandoc status ${status}")
  endif()
  string(REGEX MATCHALL "[^\n]*(‘[^’\n]*‘|’’|“[^”„\n]*“|””)[^\n]*" faults "${text}")
  if(faults)
    string(REPLACE ";" "\n" faults "${faults}")
    message(FATAL_ERROR "${page}: unpaired quotes:\n${faults}")
  endif()
endforeach()
