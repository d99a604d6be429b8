# Configures the include-check project and passes when the configure ends as expected:
#   cmake -DFIXTURE=dir -DBINARY=dir -DZT_SOURCE_DIR=dir -DOPTIONS=a;b -DSUCCEEDS=ON|OFF
#         -DEXPECTED=regex -P expect_configure.cmake
# Its own exit status carries the verdict, so it also holds when run outside ctest.
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${FIXTURE} -B ${BINARY} -DZT_SOURCE_DIR=${ZT_SOURCE_DIR} ${OPTIONS}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
set(text "${out}${err}")
if(SUCCEEDS AND NOT result EQUAL 0)
    message(FATAL_ERROR "the configure failed:\n${text}")
endif()
if(NOT SUCCEEDS AND result EQUAL 0)
    message(FATAL_ERROR "the configure succeeded:\n${text}")
endif()
if(NOT text MATCHES "${EXPECTED}")
    message(FATAL_ERROR "the configure did not say '${EXPECTED}':\n${text}")
endif()
