# Runs one fuzz target for a bounded time (cmake -P, from CTest).
# In: FUZZER, SEEDS, SCRATCH, ARTIFACTS, SECONDS.
foreach(var FUZZER SEEDS SCRATCH ARTIFACTS SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_fuzz.cmake: ${var} is not set")
  endif()
endforeach()

# The scratch corpus keeps what earlier runs found; the seeds are copied over it.
file(MAKE_DIRECTORY ${SCRATCH} ${ARTIFACTS})
file(COPY ${SEEDS}/ DESTINATION ${SCRATCH})

execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
          -artifact_prefix=${ARTIFACTS}/ ${SCRATCH}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the failing input is in ${ARTIFACTS}")
endif()
