# Runs one libFuzzer target for a few seconds, starting from its committed corpus.
# New inputs go to a scratch directory so the source tree stays untouched. The mutation
# sequence starts from a fixed seed so that a test run is repeatable; set RUTMOOR_FUZZ_SEED
# to explore elsewhere (0 lets libFuzzer pick).
if(NOT SECONDS)
  set(SECONDS 5)
endif()
set(SEED $ENV{RUTMOOR_FUZZ_SEED})
if("${SEED}" STREQUAL "")
  set(SEED 1)
endif()
file(MAKE_DIRECTORY ${WORK})
set(dirs ${WORK})
if(EXISTS ${CORPUS})
  list(APPEND dirs ${CORPUS})
endif()
execute_process(COMMAND ${FUZZER} -seed=${SEED} -max_total_time=${SECONDS} -max_len=65536 -timeout=10
                        -rss_limit_mb=2048 -print_final_stats=1 ${dirs}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fuzzer ${FUZZER} failed (${rc})")
endif()
