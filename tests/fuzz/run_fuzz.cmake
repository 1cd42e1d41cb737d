# Makes the seeds with the writer, then runs the fuzz target for a bounded
# number of runs over them. Called by CTest with FUZZER, SEEDER, WORK and RUNS.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/seeds ${WORK}/corpus)
execute_process(COMMAND ${SEEDER} ${WORK}/seeds RESULT_VARIABLE seeded)
if(NOT seeded EQUAL 0)
  message(FATAL_ERROR "making the fuzz seeds failed: ${seeded}")
endif()
# Leak checks stop the process after every input that leaves memory
# allocated, which makes runs several times slower: a short run keeps them,
# the long one goes without.
foreach(run "1000;1" "${RUNS};0")
  list(GET run 0 runs)
  list(GET run 1 leaks)
  execute_process(
    COMMAND ${FUZZER} -runs=${runs} -detect_leaks=${leaks} -max_len=8192 -timeout=20
            -rss_limit_mb=2048 -print_final_stats=1 ${WORK}/corpus ${WORK}/seeds
    WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE fuzzed)
  if(NOT fuzzed EQUAL 0)
    message(FATAL_ERROR "the fuzz target found a fault (exit ${fuzzed}); the input is in ${WORK}")
  endif()
endforeach()
