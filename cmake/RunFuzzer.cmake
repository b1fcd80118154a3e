# Runs one libFuzzer target for a few seconds, starting from its committed corpus.
# New inputs go to a scratch directory so the source tree stays untouched.
if(NOT SECONDS)
  set(SECONDS 5)
endif()
file(MAKE_DIRECTORY ${WORK})
set(dirs ${WORK})
if(EXISTS ${CORPUS})
  list(APPEND dirs ${CORPUS})
endif()
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -max_len=65536 -timeout=10
                        -rss_limit_mb=2048 -print_final_stats=1 ${dirs}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} failed (${rc})")
endif()
