# Builds each probe target and requires the build to fail because its header
# cannot be found. Run by ctest: cmake -DBUILD_DIR=... -DTARGETS=... -DHEADERS=... -P
list(LENGTH TARGETS count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET TARGETS ${i} target)
  list(GET HEADERS ${i} header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "${target} compiled: its layer reaches ${header}")
  endif()
  string(FIND "${output}" "${header}" at)
  if(at EQUAL -1 OR NOT output MATCHES "No such file|file not found|Cannot open include file")
    message(FATAL_ERROR "${target} failed for another reason than ${header}:\n${output}")
  endif()
  message(STATUS "${target}: ${header} is out of reach, as it must be")
endforeach()
