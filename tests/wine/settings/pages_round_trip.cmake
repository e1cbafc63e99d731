# Each built-in page read out of a built program compiles to the bytes its
# source compiles to: cmake -DTOOL=<ostrel-pages> -DEXE=<program>
# -DPAGES=<built-in pages> -DWORK=<scratch folder> -P pages_round_trip.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(page ContactForm DetailsForm ScrShotForm)
  execute_process(COMMAND "${TOOL}" dump "${EXE}" ${page} OUTPUT_FILE "${WORK}/${page}.page"
    RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "dump of ${page}: exit ${code}")
  endif()
  execute_process(COMMAND "${TOOL}" compile "${WORK}/${page}.page" "${WORK}/${page}.bin"
    RESULT_VARIABLE code)
  execute_process(COMMAND "${TOOL}" compile "${PAGES}/${page}.page" "${WORK}/${page}.source.bin"
    RESULT_VARIABLE code2)
  if(NOT code EQUAL 0 OR NOT code2 EQUAL 0)
    message(FATAL_ERROR "compile of ${page}: exit ${code} and ${code2}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${WORK}/${page}.bin"
    "${WORK}/${page}.source.bin" RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${page}: the program carries other bytes than its source compiles to")
  endif()
endforeach()
