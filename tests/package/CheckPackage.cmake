# Installs the build in BUILD_DIR into WORK_DIR/prefix, builds the package host against it with
# find_package and runs it. Run with cmake -P; SANITIZER_FLAGS links the host with the sanitizer
# runtimes the engine was built with.
foreach(var BUILD_DIR WORK_DIR SOURCE_DIR CXX_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckPackage.cmake needs -D${var}=...")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
    "-DCMAKE_EXE_LINKER_FLAGS=${SANITIZER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/PackageHost)
