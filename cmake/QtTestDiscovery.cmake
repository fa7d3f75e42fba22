# Run after a Qt Test program is built: asks it for its test functions
# ("-functions") and writes a CTest file with one entry per function, so that
# a failure names its case.
#   cmake -D PROGRAM=... -D PREFIX=... -D OUTPUT=... -P QtTestDiscovery.cmake
# Every entry runs on the offscreen platform, within 120 s, labelled "gui".
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "${PROGRAM}" -functions
  OUTPUT_VARIABLE listing
  ERROR_VARIABLE errors
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} -functions failed (${status}):\n${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(content "")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)\\(\\)$")
    set(function "${CMAKE_MATCH_1}")
    string(APPEND content
      "add_test([=[${PREFIX}${function}]=] [=[${PROGRAM}]=] [=[${function}]=])\n"
      "set_tests_properties([=[${PREFIX}${function}]=] PROPERTIES "
      "ENVIRONMENT [=[QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0]=] TIMEOUT 120 LABELS gui)\n")
    math(EXPR count "${count} + 1")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} -functions listed no test function:\n${listing}")
endif()
file(WRITE "${OUTPUT}" "${content}")
